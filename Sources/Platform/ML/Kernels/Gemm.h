#pragma once
// Matrix products for the model kinds: OpenBLAS sgemm, single-threaded per call and partitioned over
// the runtime's thread pool (measured faster here than OpenBLAS's own threads, and never fighting).
// All matrices are row-major.

#include <cstddef>

namespace ml::kernels {

/// C = alpha * op(A) * op(B) + beta * C with op(A) [M, K], op(B) [K, N], C [M, N].
void gemm(bool transA, bool transB, size_t M, size_t N, size_t K, float alpha, const float* A, size_t lda,
          const float* B, size_t ldb, float beta, float* C, size_t ldc);

/// The same on the calling thread only (for use inside a pool partition).
void gemmSerial(bool transA, bool transB, size_t M, size_t N, size_t K, float alpha, const float* A,
                size_t lda, const float* B, size_t ldb, float beta, float* C, size_t ldc);

enum class Epilogue { none, gelu };

/// A linear layer as checkpoints store it: y[rows, out] = x[rows, in] * W[out, in]^T + bias (bias may
/// be null). With `accumulate`, the product is added to y instead (residual connections). The
/// epilogue runs on each partition while it is still in cache.
void linear(const float* x, size_t rows, size_t in, const float* W, const float* bias, size_t out, float* y,
            bool accumulate = false, Epilogue epilogue = Epilogue::none);

} // namespace ml::kernels
