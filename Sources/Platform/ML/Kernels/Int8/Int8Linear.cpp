#include "Platform/ML/Kernels/Int8/Int8Linear.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>

namespace ml::kernels {
namespace {

// Runs rows [r0, r1) of the product in each task: at least 64 KB of weights per task (below that, handing a
// task out costs more than reading it), several tasks per thread on large layers.
template <class Rows> void forRowTasks(size_t out, size_t in, Rows&& rows) {
    ThreadPool& pool = ThreadPool::shared();
    const size_t minRows = std::max<size_t>(4, (size_t(1) << 16) / std::max<size_t>(in, 1));
    const size_t tasks = evenTasks(out / minRows, pool.threadCount());
    pool.parallelFor(tasks, [&](size_t task) {
        size_t r0, r1;
        partitionRange(out, tasks, task, 4, r0, r1);
        if (r0 < r1)
            rows(r0, r1);
    });
}

void rowProduct(const QuantizedVector& x, const int8_t* W, const float* scales, const float* bias, size_t out,
                float* y, bool accumulate, bool gelu) {
    const KernelTable& k = activeKernels();
    const size_t in = x.values.size();
    forRowTasks(out, in, [&](size_t r0, size_t r1) {
        float local[256];
        for (size_t c0 = r0; c0 < r1; c0 += 256) {
            const size_t n = std::min<size_t>(256, r1 - c0);
            k.int8Gemv(W + c0 * in, in, scales + c0, x.values.data(), x.scale, in, local, n);
            for (size_t r = 0; r < n; ++r) {
                const float b = bias ? bias[c0 + r] : 0.0f;
                y[c0 + r] = accumulate ? y[c0 + r] + local[r] + b : local[r] + b;
            }
            if (gelu)
                k.gelu(y + c0, n);
        }
    });
}

} // namespace

void QuantizedVector::quantize(const float* x, size_t n) {
    values.resize(n);
    scale = activeKernels().quantizeInt16(x, n, values.data());
}

void int8Linear(const QuantizedVector& x, const int8_t* W, const float* scales, const float* bias, size_t out,
                float* y, bool accumulate) {
    rowProduct(x, W, scales, bias, out, y, accumulate, false);
}

void int8Linear(const float* x, size_t in, const int8_t* W, const float* scales, const float* bias,
                size_t out, float* y, bool accumulate) {
    thread_local QuantizedVector quantized;
    quantized.quantize(x, in);
    int8Linear(quantized, W, scales, bias, out, y, accumulate);
}

void int8Mlp(const float* x, size_t width, const int8_t* W1, const float* scales1, const float* b1,
             size_t hidden, const int8_t* W2, const float* scales2, const float* b2, float* y) {
    thread_local QuantizedVector quantized;
    thread_local std::vector<float> activations;
    activations.resize(hidden);
    float* h = activations.data(); // the tasks reach the caller's buffer through this pointer
    quantized.quantize(x, width);
    rowProduct(quantized, W1, scales1, b1, hidden, h, false, true);
    int8Linear(h, hidden, W2, scales2, b2, width, y, true);
}

} // namespace ml::kernels
