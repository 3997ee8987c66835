#include "Platform/ML/Kernels/Attention/Attention.h"

#include "Platform/ML/Kernels/Attention/AttentionBlock.h"
#include "Platform/ML/Kernels/Attention/BfloatAttention.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/AmxAttention.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace ml::kernels {
namespace {

// Queries per task: a few of the kernels' row tiles, enough tasks to share out (turbo: 20 heads x 16).
constexpr size_t kBlockRows = 96;
// Keys per task of the layout.
constexpr size_t kLayoutKeys = 256;

} // namespace

void attention(const AttentionArgs& a) {
    if (a.headSize == 0 || a.heads == 0)
        throw std::invalid_argument("attention needs at least one head of non-zero size");
    if (a.causal && a.queries > a.keys)
        throw std::invalid_argument("causal attention needs at least as many keys as queries");
    if (a.queries == 0)
        return;
    if (a.precision == Precision::bfloat16 && a.headSize % 32 == 0 && bfloatRoadAvailable(a.road)) {
        if (a.road == BfloatRoad::tiles) {
            amxAttention(a);
            return;
        }
        if (a.road == BfloatRoad::vectors) {
            bfloatAttention(a);
            return;
        }
    }
    const KernelTable& k = a.kernels ? *a.kernels : activeKernels();
    ThreadPool& pool = ThreadPool::shared();
    const size_t nr = k.attentionPanelWidth, hs = a.headSize;
    // Scores in base 2: the kernels' exponential is 2^x.
    const float scale = 1.4426950408889634f / std::sqrt(float(hs));

    // Each head's keys (transposed and scaled) and values once in the kernels' panel layout, shared by
    // every query block: keys as [key panel][channel][nr keys], values as [channel panel][key][nr channels].
    const size_t keyPanels = blocksOf(a.keys, nr), valuePanels = blocksOf(hs, nr);
    const size_t keyPanelSize = hs * nr, valuePanelSize = a.keys * nr;
    // Kept from call to call (every layer has the same shape): no allocation, no zeroing of megabytes.
    // (The pool's threads see their own thread_local variables: they get plain pointers.)
    thread_local std::vector<float> keyStore, valueStore;
    keyStore.resize(std::max(keyStore.size(), a.heads * keyPanels * keyPanelSize));
    valueStore.resize(std::max(valueStore.size(), a.heads * valuePanels * valuePanelSize));
    float* const keys = keyStore.data();
    float* const values = valueStore.data();
    // In slices of keys, so every thread has a share even with few heads.
    const size_t slicePanels = blocksOf(kLayoutKeys, nr), slices = blocksOf(keyPanels, slicePanels);
    pool.parallelFor(a.heads * slices, [&](size_t task) {
        const size_t h = task / slices, j0 = (task % slices) * slicePanels * nr;
        const size_t j1 = std::min(keyPanels * nr, j0 + slicePanels * nr);
        float* kp = keys + h * keyPanels * keyPanelSize + (j0 / nr) * keyPanelSize;
        for (size_t j = j0; j < j1; ++j, ++kp) {
            if (j > j0 && j % nr == 0)
                kp += keyPanelSize - nr; // on to the next panel
            if (j >= a.keys) { // the last panel's padding
                for (size_t c = 0; c < hs; ++c)
                    kp[c * nr] = 0.0f;
                continue;
            }
            const float* source = a.k + j * a.ldk + h * hs;
            for (size_t c = 0; c < hs; ++c)
                kp[c * nr] = source[c] * scale;
        }
        float* vp = values + h * valuePanels * valuePanelSize;
        for (size_t c0 = 0; c0 < hs; c0 += nr, vp += valuePanelSize) {
            const size_t channels = std::min(nr, hs - c0);
            for (size_t j = j0; j < std::min(j1, a.keys); ++j) {
                const float* source = a.v + j * a.ldv + h * hs + c0;
                float* target = vp + j * nr;
                for (size_t c = 0; c < nr; ++c)
                    target[c] = c < channels ? source[c] : 0.0f; // past the head size: no output
            }
        }
    });

    const size_t blocks = blocksOf(a.queries, kBlockRows);
    pool.parallelFor(a.heads * blocks, [&](size_t task) {
        const size_t h = task / blocks, q0 = (task % blocks) * kBlockRows;
        AttentionBlock block{};
        block.queries = a.q + q0 * a.ldq + h * hs;
        block.ldq = a.ldq;
        block.rows = std::min(kBlockRows, a.queries - q0);
        block.firstQuery = q0;
        block.keyPanels = keys + h * keyPanels * keyPanelSize;
        block.valuePanels = values + h * valuePanels * valuePanelSize;
        block.keys = a.keys;
        block.headSize = hs;
        block.keyMask = a.keyMask;
        block.causal = a.causal;
        block.causalShift = a.keys - a.queries;
        block.out = a.out + q0 * a.ldo + h * hs;
        block.ldo = a.ldo;
        k.attentionBlock(block);
    });
}

} // namespace ml::kernels
