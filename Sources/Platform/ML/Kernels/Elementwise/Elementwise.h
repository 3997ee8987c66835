#pragma once
// Row-wise and element-wise operations spread over the runtime's thread pool, on the fastest
// kernel variant this processor runs.

#include <cstddef>
#include <cstdint>

namespace ml::kernels {

/// Layer norm of each of `rows` rows of `width` values; y may equal x.
void layerNorm(const float* x, float* y, size_t rows, size_t width, const float* gamma, const float* beta,
               float eps = 1e-5f);

/// In place, the exact erf form.
void gelu(float* x, size_t n);

/// In place, each of `rows` rows of `width` values.
void softmax(float* x, size_t rows, size_t width);
void logSoftmax(float* x, size_t rows, size_t width);

/// IEEE half (as bits) <-> float, round to nearest even.
void halfToFloat(const uint16_t* src, float* dst, size_t n);
void floatToHalf(const float* src, uint16_t* dst, size_t n);
float halfToFloat(uint16_t h);
uint16_t floatToHalf(float f);

/// dst[c, r] = src[r, c] for a [rows, cols] float matrix, written as halves: the model layout
/// [1, C, 1, T] from our working layout [T, C].
void transposeToHalf(const float* src, size_t rows, size_t cols, uint16_t* dst);
/// dst[r, c] = src[c * srcStride + r] for r < rows, c < cols: the working layout from [1, C, 1, T].
void transposeFromHalf(const uint16_t* src, size_t srcStride, size_t rows, size_t cols, float* dst);

} // namespace ml::kernels
