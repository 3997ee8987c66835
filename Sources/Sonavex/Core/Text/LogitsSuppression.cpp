#include "Sonavex/Core/Text/LogitsSuppression.h"

#include <algorithm>
#include <limits>

namespace sonavex {

namespace {
// Half bits 0xFC00 (the standard library has no limits for the half type).
const ml::Float16 kMinusInfinity = ml::halfFromBits(0xFC00);
} // namespace

void suppressTokenIds(ml::MultiArray& logits, const std::vector<int64_t>& ids) {
    const std::span<ml::Float16> scores = logits.elements<ml::Float16>();
    const auto count = static_cast<int64_t>(scores.size());
    for (int64_t id : ids) {
        if (id >= 0 && id < count) {
            scores[static_cast<std::size_t>(id)] = kMinusInfinity;
        }
    }
}

void suppressTokenRange(ml::MultiArray& logits, int64_t lower, int64_t upper) {
    const std::span<ml::Float16> scores = logits.elements<ml::Float16>();
    const auto count = static_cast<int64_t>(scores.size());
    lower = std::clamp<int64_t>(lower, 0, count);
    upper = std::clamp<int64_t>(upper, lower, count);
    std::fill(scores.begin() + lower, scores.begin() + upper, kMinusInfinity);
}

} // namespace sonavex
