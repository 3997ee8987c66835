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

/// The MLP block for one token: y += W2 gelu(W1 x + b1) + b2, W1 [hidden, width], W2 [width, hidden] given
/// transposed (W2T [hidden, width]). One pool job reads each matrix once, front to back: every task takes a
/// slice of the hidden layer, its rows of W1 and the same rows of W2T, and adds its share of the output into
/// its thread's partial sums, which are added up at the end.
void halfMlp(const float* x, size_t width, const uint16_t* W1, const float* b1, size_t hidden,
             const uint16_t* W2T, const float* b2, float* y);

} // namespace ml::kernels
