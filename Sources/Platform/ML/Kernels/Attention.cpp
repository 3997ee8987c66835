#include "Platform/ML/Kernels/Attention.h"

#include "Platform/ML/Kernels/Gemm.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace ml::kernels {
namespace {
// 128 x 1500 scores = 750 KB: still in L2 between the two products, and each task's products repack
// the head's keys and values for twice as many queries as with 64.
constexpr size_t kQueryBlock = 128;
}

void attention(const AttentionArgs& a) {
    if (a.headSize == 0 || a.heads == 0)
        throw std::invalid_argument("attention needs at least one head of non-zero size");
    if (a.causal && a.queries > a.keys)
        throw std::invalid_argument("causal attention needs at least as many keys as queries");
    const KernelTable& k = activeKernels();
    const float scale = 1.0f / std::sqrt(float(a.headSize));
    const size_t blocks = (a.queries + kQueryBlock - 1) / kQueryBlock;
    const size_t offset = a.keys - (a.causal ? a.queries : 0);
    ThreadPool::shared().parallelFor(a.heads * blocks, [&](size_t task) {
        thread_local std::vector<float> scores;
        const size_t h = task / blocks, q0 = (task % blocks) * kQueryBlock;
        const size_t rows = std::min(kQueryBlock, a.queries - q0);
        // Keys that no query of this block may see are left out of both products.
        const size_t keys = a.causal ? std::min(a.keys, q0 + rows + offset) : a.keys;
        if (scores.size() < rows * keys)
            scores.resize(rows * keys);
        float* s = scores.data();
        gemmSerial(false, true, rows, keys, a.headSize, scale, a.q + q0 * a.ldq + h * a.headSize, a.ldq,
                   a.k + h * a.headSize, a.ldk, 0.0f, s, keys);
        for (size_t r = 0; r < rows; ++r) {
            float* row = s + r * keys;
            if (a.keyMask)
                k.add(row, a.keyMask, keys);
            if (a.causal)
                for (size_t j = q0 + r + offset + 1; j < keys; ++j)
                    row[j] = -INFINITY;
            k.softmax(row, keys);
        }
        gemmSerial(false, false, rows, a.headSize, keys, 1.0f, s, keys, a.v + h * a.headSize, a.ldv, 0.0f,
                   a.out + q0 * a.ldo + h * a.headSize, a.ldo);
    });
}

} // namespace ml::kernels
