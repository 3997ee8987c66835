#include "Platform/ML/Kernels/Gemm.h"

#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cblas.h>
#include <mutex>

namespace ml::kernels {
namespace {

// Below this many multiply-adds a product is not worth spreading over threads.
constexpr double kSerialWork = 1 << 18;

// Checked on every call, not once: other code in the process (a benchmark, a tool) may have given
// OpenBLAS threads of its own since, and inside our partitions they would fight ours.
void keepOpenBlasSingleThreaded() {
    if (openblas_get_num_threads() == 1)
        return;
    static std::mutex mutex; // the first calls come from every pool thread at once
    std::lock_guard lock(mutex);
    if (openblas_get_num_threads() != 1)
        openblas_set_num_threads(1);
}

struct Tiling {
    size_t parts;
    bool splitRows; // split M (rows of C), else N
};

Tiling tilingFor(size_t M, size_t N, size_t K) {
    const size_t threads = ThreadPool::shared().threadCount();
    if (double(M) * double(N) * double(K) < kSerialWork || threads == 1)
        return {1, true};
    // Split the longer side, so each partition still has a well-shaped product. One part per thread:
    // every part packs the whole of the operand it shares with the others (a profile of the small
    // encoder showed OpenBLAS's packing at 20% of the time with two parts per thread).
    return {threads, M >= N};
}

} // namespace

void gemmSerial(bool transA, bool transB, size_t M, size_t N, size_t K, float alpha, const float* A,
                size_t lda, const float* B, size_t ldb, float beta, float* C, size_t ldc) {
    keepOpenBlasSingleThreaded();
    if (M == 0 || N == 0)
        return;
    cblas_sgemm(CblasRowMajor, transA ? CblasTrans : CblasNoTrans, transB ? CblasTrans : CblasNoTrans, int(M),
                int(N), int(K), alpha, A, int(lda), B, int(ldb), beta, C, int(ldc));
}

void gemm(bool transA, bool transB, size_t M, size_t N, size_t K, float alpha, const float* A, size_t lda,
          const float* B, size_t ldb, float beta, float* C, size_t ldc) {
    keepOpenBlasSingleThreaded();
    const Tiling tiling = tilingFor(M, N, K);
    ThreadPool::shared().parallelFor(tiling.parts, [&](size_t part) {
        size_t begin, end;
        if (tiling.splitRows) {
            partitionRange(M, tiling.parts, part, 16, begin, end);
            const float* a = transA ? A + begin : A + begin * lda;
            gemmSerial(transA, transB, end - begin, N, K, alpha, a, lda, B, ldb, beta, C + begin * ldc, ldc);
        } else {
            partitionRange(N, tiling.parts, part, 16, begin, end);
            const float* b = transB ? B + begin * ldb : B + begin;
            gemmSerial(transA, transB, M, end - begin, K, alpha, A, lda, b, ldb, beta, C + begin, ldc);
        }
    });
}

} // namespace ml::kernels
