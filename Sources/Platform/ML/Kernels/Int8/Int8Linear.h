#pragma once
// Linear layers over 8-bit weights (a float scale per row) for one token at a time: the decoder's steps
// of an 8-bit model. The activations are quantised to 16 bits once per product and each task sums its
// rows in integers (the kernel table's int8Gemv): half the bytes of half weights, at the same speed per byte.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ml::kernels {

/// A vector quantised to 16 bits: x[i] = values[i] * scale.
struct QuantizedVector {
    std::vector<int16_t> values;
    float scale = 0.0f;

    void quantize(const float* x, size_t n);
};

/// y[out] = W[out, in] x + bias (bias may be null), row r of W being W[r, :] x scales[r]; with `accumulate`,
/// added to y.
void int8Linear(const QuantizedVector& x, const int8_t* W, const float* scales, const float* bias, size_t out,
                float* y, bool accumulate = false);
void int8Linear(const float* x, size_t in, const int8_t* W, const float* scales, const float* bias,
                size_t out, float* y, bool accumulate = false);

/// The MLP block for one token: y += W2 gelu(W1 x + b1) + b2, W1 [hidden, width] and W2 [width, hidden] as
/// 8-bit rows with their scales.
void int8Mlp(const float* x, size_t width, const int8_t* W1, const float* scales1, const float* b1,
             size_t hidden, const int8_t* W2, const float* scales2, const float* b2, float* y);

} // namespace ml::kernels
