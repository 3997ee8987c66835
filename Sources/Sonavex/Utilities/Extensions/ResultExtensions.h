#pragma once
// Per-input outcomes of the multi-input entry points turned into what their callers take: the value of
// each success, nothing for each failure (the errors are dropped), in the same order.

#include "Sonavex/Utilities/Errors/Result.h"

#include <optional>
#include <vector>

namespace sonavex {

template <class T> std::vector<std::optional<T>> toOptionalArrays(const std::vector<Result<T>>& results) {
    std::vector<std::optional<T>> values;
    values.reserve(results.size());
    for (const auto& result : results) {
        values.push_back(result.isSuccess() ? std::optional<T>(result.get()) : std::nullopt);
    }
    return values;
}

} // namespace sonavex
