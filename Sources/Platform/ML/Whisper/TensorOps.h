#pragma once
// The vector operations the decoder's sampling and timestamp rules use at every step, over plain float
// spans or the model's half-float logits, on the fastest kernel variant this processor runs.

#include "Platform/ML/Values/Half.h"

#include <cstdint>
#include <span>
#include <vector>

namespace ml {

/// The values widened to float.
std::vector<float> toFloats(std::span<const Float16> values);

/// exp(x - max) / sum; -inf entries give 0. All entries -inf (or NaN anywhere) gives NaN everywhere,
/// as the platform's tensors do, so callers can tell a failed distribution.
std::vector<float> softmax(std::span<const float> values);
std::vector<float> softmax(std::span<const Float16> values);

/// x - max - log(sum(exp(x - max))); NaN everywhere when no entry is finite at the top (all -inf, a NaN
/// or +inf).
std::vector<float> logSoftmax(std::span<const float> values);
std::vector<float> logSoftmax(std::span<const Float16> values);

/// Index of the largest value, the lowest index on ties; NaN never wins (0 when every value is NaN).
/// Throws std::invalid_argument for an empty span.
int64_t argmax(std::span<const float> values);
int64_t argmax(std::span<const Float16> values);

struct TopK {
    std::vector<float> values;
    std::vector<int64_t> indices;
};

/// The k largest values, largest first, ties in index order, NaN after every number; k is clamped to the
/// size (a negative k throws std::invalid_argument).
TopK topK(std::span<const float> values, int64_t k);

/// Running sums: out[i] = values[0] + ... + values[i].
std::vector<float> cumulativeSum(std::span<const float> values);

} // namespace ml
