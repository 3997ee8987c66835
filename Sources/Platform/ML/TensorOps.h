#pragma once
// The vector operations the decoder's sampling and timestamp rules use, over plain float spans.

#include <cstdint>
#include <span>
#include <vector>

namespace ml {

/// exp(x - max) / sum; -inf entries give 0. All entries -inf (or NaN anywhere) gives NaN everywhere,
/// as the platform's tensors do, so callers can tell a failed distribution.
std::vector<float> softmax(std::span<const float> values);

/// x - max - log(sum(exp(x - max))).
std::vector<float> logSoftmax(std::span<const float> values);

/// Index of the largest value, the lowest index on ties; NaN never wins. Throws std::invalid_argument
/// for an empty span.
int64_t argmax(std::span<const float> values);

struct TopK {
    std::vector<float> values;
    std::vector<int64_t> indices;
};

/// The k largest values, largest first, ties in index order; k is clamped to the size
/// (a negative k throws std::invalid_argument).
TopK topK(std::span<const float> values, int64_t k);

/// Running sums: out[i] = values[0] + ... + values[i].
std::vector<float> cumulativeSum(std::span<const float> values);

} // namespace ml
