#include "Platform/ML/Kernels/Elementwise/Elementwise.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>

namespace ml::kernels {
namespace {

// Rows per pool task: enough work per task to hide the hand-off, enough tasks to balance.
size_t tasksFor(size_t rows, size_t width) {
    const size_t perTaskRows = std::max<size_t>(1, (size_t(1) << 14) / std::max<size_t>(width, 1));
    return std::max<size_t>(1, std::min(rows / perTaskRows, ThreadPool::shared().threadCount() * 4));
}

template <class Row> void forRows(size_t rows, size_t width, Row&& row) {
    const size_t tasks = tasksFor(rows, width);
    ThreadPool::shared().parallelFor(tasks, [&](size_t task) {
        size_t begin, end;
        partitionRange(rows, tasks, task, 1, begin, end);
        for (size_t r = begin; r < end; ++r)
            row(r);
    });
}

} // namespace

void layerNorm(const float* x, float* y, size_t rows, size_t width, const float* gamma, const float* beta,
               float eps) {
    const KernelTable& k = activeKernels();
    forRows(rows, width,
            [&](size_t r) { k.layerNorm(x + r * width, y + r * width, width, gamma, beta, eps); });
}

void gelu(float* x, size_t n) {
    const KernelTable& k = activeKernels();
    constexpr size_t chunk = 4096;
    forRows((n + chunk - 1) / chunk, chunk,
            [&](size_t c) { k.gelu(x + c * chunk, std::min(chunk, n - c * chunk)); });
}

void softmax(float* x, size_t rows, size_t width) {
    const KernelTable& k = activeKernels();
    forRows(rows, width, [&](size_t r) { k.softmax(x + r * width, width); });
}

void logSoftmax(float* x, size_t rows, size_t width) {
    const KernelTable& k = activeKernels();
    forRows(rows, width, [&](size_t r) { k.logSoftmax(x + r * width, width); });
}

void halfToFloat(const uint16_t* src, float* dst, size_t n) {
    const KernelTable& k = activeKernels();
    constexpr size_t chunk = 1 << 16;
    forRows((n + chunk - 1) / chunk, chunk, [&](size_t c) {
        k.halfToFloat(src + c * chunk, dst + c * chunk, std::min(chunk, n - c * chunk));
    });
}

void floatToHalf(const float* src, uint16_t* dst, size_t n) {
    const KernelTable& k = activeKernels();
    constexpr size_t chunk = 1 << 16;
    forRows((n + chunk - 1) / chunk, chunk, [&](size_t c) {
        k.floatToHalf(src + c * chunk, dst + c * chunk, std::min(chunk, n - c * chunk));
    });
}

float halfToFloat(uint16_t h) {
    float f;
    kernelsFor(Isa::generic)->halfToFloat(&h, &f, 1);
    return f;
}

uint16_t floatToHalf(float f) {
    uint16_t h;
    kernelsFor(Isa::generic)->floatToHalf(&f, &h, 1);
    return h;
}

void transposeToHalf(const float* src, size_t rows, size_t cols, uint16_t* dst) {
    const KernelTable& k = activeKernels();
    // Tiles of 64 rows: read a tile's columns once while they are in cache.
    constexpr size_t tile = 64;
    const size_t tiles = (rows + tile - 1) / tile;
    ThreadPool::shared().parallelFor(tiles, [&](size_t t) {
        const size_t r0 = t * tile, r1 = std::min(rows, r0 + tile);
        float column[tile];
        for (size_t c = 0; c < cols; ++c) {
            for (size_t r = r0; r < r1; ++r)
                column[r - r0] = src[r * cols + c];
            k.floatToHalf(column, dst + c * rows + r0, r1 - r0);
        }
    });
}

void transposeFromHalf(const uint16_t* src, size_t srcStride, size_t rows, size_t cols, float* dst) {
    const KernelTable& k = activeKernels();
    constexpr size_t tile = 64;
    const size_t tiles = (rows + tile - 1) / tile;
    ThreadPool::shared().parallelFor(tiles, [&](size_t t) {
        const size_t r0 = t * tile, r1 = std::min(rows, r0 + tile);
        float column[tile];
        for (size_t c = 0; c < cols; ++c) {
            k.halfToFloat(src + c * srcStride + r0, column, r1 - r0);
            for (size_t r = r0; r < r1; ++r)
                dst[r * cols + c] = column[r - r0];
        }
    });
}

} // namespace ml::kernels
