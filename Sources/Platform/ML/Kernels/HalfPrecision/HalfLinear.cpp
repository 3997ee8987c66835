#include "Platform/ML/Kernels/HalfPrecision/HalfLinear.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace ml::kernels {

void halfLinear(const float* x, size_t in, const uint16_t* W, const float* bias, size_t out, float* y,
                bool accumulate) {
    const KernelTable& k = activeKernels();
    ThreadPool& pool = ThreadPool::shared();
    // At least 64 KB of weights per task (below that, handing a task out costs more than reading it);
    // several tasks per thread for balance on large ones.
    const size_t minRows = std::max<size_t>(4, (size_t(1) << 15) / std::max<size_t>(in, 1));
    const size_t tasks = evenTasks(out / minRows, pool.threadCount());
    pool.parallelFor(tasks, [&](size_t task) {
        size_t r0, r1;
        partitionRange(out, tasks, task, 4, r0, r1);
        if (r0 == r1)
            return;
        float local[256];
        for (size_t c0 = r0; c0 < r1; c0 += 256) {
            const size_t n = std::min<size_t>(256, r1 - c0);
            k.halfGemv(W + c0 * in, in, x, in, local, n);
            for (size_t r = 0; r < n; ++r) {
                const float b = bias ? bias[c0 + r] : 0.0f;
                y[c0 + r] = accumulate ? y[c0 + r] + local[r] + b : local[r] + b;
            }
        }
    });
}

void halfMlp(const float* x, size_t width, const uint16_t* W1, const float* b1, size_t hidden,
             const uint16_t* W2T, const float* b2, float* y) {
    const KernelTable& k = activeKernels();
    ThreadPool& pool = ThreadPool::shared();
    // Several slices per thread, so a thread that is held up leaves its share to the others; small layers
    // take fewer slices.
    const size_t minHidden = std::max<size_t>(16, (size_t(1) << 16) / std::max<size_t>(width, 1));
    const size_t tasks = evenTasks(hidden / minHidden, pool.threadCount());
    // One row of partial sums per thread that takes part (not per task): fewer rows to add up at the end.
    thread_local std::vector<float> partialSums; // the caller's: the tasks reach it through `partial`
    std::vector<float>& partial = partialSums;
    partial.resize(std::min(tasks, pool.threadCount()) * width);
    std::atomic<size_t> rowsTaken{0};
    static std::atomic<uint64_t> calls{0};
    const uint64_t call = calls.fetch_add(1) + 1;
    pool.parallelFor(tasks, [&](size_t task) {
        size_t h0, h1;
        partitionRange(hidden, tasks, task, 16, h0, h1);
        if (h0 == h1)
            return;
        thread_local std::vector<float> activations;
        thread_local uint64_t rowCall = 0;
        thread_local float* sums = nullptr;
        if (rowCall != call) {
            rowCall = call;
            sums = partial.data() + rowsTaken.fetch_add(1) * width;
            std::fill(sums, sums + width, 0.0f);
        }
        activations.resize(h1 - h0);
        k.halfGemv(W1 + h0 * width, width, x, width, activations.data(), h1 - h0);
        for (size_t j = 0; j < h1 - h0; ++j)
            activations[j] += b1[h0 + j];
        k.gelu(activations.data(), h1 - h0);
        k.halfWeightedRowSum(W2T + h0 * width, width, activations.data(), h1 - h0, sums, width);
    });
    for (size_t row = 0; row < rowsTaken.load(); ++row)
        k.add(y, partial.data() + row * width, width);
    if (b2)
        k.add(y, b2, width);
}

} // namespace ml::kernels
