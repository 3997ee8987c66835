#include "Platform/ML/Kernels/HalfLinear.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <vector>

namespace ml::kernels {

void halfLinear(const float* x, size_t in, const uint16_t* W, const float* bias, size_t out, float* y,
                bool accumulate) {
    const KernelTable& k = activeKernels();
    // At least 256 KB of weights per task (a small layer is read faster by one thread than handed out,
    // and on a busy machine every extra task is one more chance to wait for a descheduled thread);
    // several tasks per thread for balance on large ones.
    const size_t minRows = std::max<size_t>(4, (size_t(1) << 17) / std::max<size_t>(in, 1));
    const size_t tasks = std::clamp<size_t>(out / minRows, 1, ThreadPool::shared().threadCount() * 4);
    ThreadPool::shared().parallelFor(tasks, [&](size_t task) {
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

void halfMlp(const float* x, size_t width, const uint16_t* W1, const float* b1, size_t hidden, const uint16_t* W2,
             const float* b2, float* y) {
    const KernelTable& k = activeKernels();
    // Several slices per thread, so a thread that is held up leaves its share to the others (each row of W2
    // is still read in runs of 96 halves or more at the public sizes); small layers take fewer slices.
    const size_t minHidden = std::max<size_t>(16, (size_t(1) << 16) / std::max<size_t>(width, 1));
    const size_t tasks = std::clamp<size_t>(hidden / minHidden, 1, ThreadPool::shared().threadCount() * 4);
    thread_local std::vector<float> partialSums; // the caller's: the tasks reach it through `partial`
    std::vector<float>& partial = partialSums;
    partial.assign(tasks * width, 0.0f);
    ThreadPool::shared().parallelFor(tasks, [&](size_t task) {
        size_t h0, h1;
        partitionRange(hidden, tasks, task, 16, h0, h1);
        if (h0 == h1)
            return;
        thread_local std::vector<float> activations;
        activations.resize(h1 - h0);
        k.halfGemv(W1 + h0 * width, width, x, width, activations.data(), h1 - h0);
        for (size_t j = 0; j < h1 - h0; ++j)
            activations[j] += b1[h0 + j];
        k.gelu(activations.data(), h1 - h0);
        float* sums = partial.data() + task * width;
        for (size_t i = 0; i < width; ++i)
            sums[i] = k.halfDot(W2 + i * hidden + h0, activations.data(), h1 - h0);
    });
    for (size_t task = 0; task < tasks; ++task)
        k.add(y, partial.data() + task * width, width);
    if (b2)
        k.add(y, b2, width);
}

} // namespace ml::kernels
