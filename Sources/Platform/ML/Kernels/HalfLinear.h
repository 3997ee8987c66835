#pragma once
// Linear layers over half-precision weights for one token at a time (the decoder's steps): the work
// is bound by reading the weights, so storing them as halves and widening in registers doubles the
// speed over float weights.

#include <cstddef>
#include <cstdint>

namespace ml::kernels {

/// y[out] = W[out, in] * x[in] + bias (bias may be null); with `accumulate`, added to y.
void halfLinear(const float* x, size_t in, const uint16_t* W, const float* bias, size_t out, float* y,
                bool accumulate = false);

} // namespace ml::kernels
