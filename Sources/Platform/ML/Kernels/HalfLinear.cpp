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

} // namespace ml::kernels
