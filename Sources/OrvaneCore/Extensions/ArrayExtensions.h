#pragma once
// Small operations on lists that the hub client and the engine share: shell-style filtering of file
// names, splitting work into batches and order-keeping de-duplication.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace orvane {

/// The names that match the shell pattern, in their order. fnmatch rules without flags: "*" and "?"
/// also match "/", a leading "." needs no explicit match, a backslash quotes the next character.
std::vector<std::string> matching(const std::vector<std::string>& names, const std::string& glob);

/// Consecutive slices of at most `size` elements (the last one may be shorter); none for an empty list.
/// Throws std::invalid_argument when `size` is not positive.
template <class T> std::vector<std::vector<T>> batched(const std::vector<T>& elements, std::ptrdiff_t size) {
    if (size <= 0) {
        throw std::invalid_argument("batched(into:) needs a positive batch size, got " +
                                    std::to_string(size));
    }
    std::vector<std::vector<T>> batches;
    const auto step = static_cast<std::size_t>(size);
    for (std::size_t start = 0; start < elements.size(); start += step) {
        const std::size_t end = std::min(start + step, elements.size());
        batches.emplace_back(elements.begin() + static_cast<std::ptrdiff_t>(start),
                             elements.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return batches;
}

/// The elements without repeats, first occurrences kept, in order.
template <class T, class Hash = std::hash<T>> std::vector<T> orderedSet(const std::vector<T>& elements) {
    std::unordered_set<T, Hash> seen;
    std::vector<T> kept;
    for (const T& element : elements) {
        if (seen.insert(element).second) {
            kept.push_back(element);
        }
    }
    return kept;
}

} // namespace orvane
