#pragma once
// General matrix products (the mel spectrogram's): OpenBLAS sgemm, single-threaded per call and
// partitioned over the runtime's thread pool (measured faster here than OpenBLAS's own threads, and never
// fighting). The encoder's and decoder's layers run on packed weights instead (Packed/PackedLinear.h).
// All matrices are row-major.

#include <cstddef>

namespace ml::kernels {

/// C = alpha * op(A) * op(B) + beta * C with op(A) [M, K], op(B) [K, N], C [M, N].
void gemm(bool transA, bool transB, size_t M, size_t N, size_t K, float alpha, const float* A, size_t lda,
          const float* B, size_t ldb, float beta, float* C, size_t ldc);

/// The same on the calling thread only (for use inside a pool partition).
void gemmSerial(bool transA, bool transB, size_t M, size_t N, size_t K, float alpha, const float* A,
                size_t lda, const float* B, size_t ldb, float beta, float* C, size_t ldc);

} // namespace ml::kernels
