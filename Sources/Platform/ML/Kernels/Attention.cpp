#include "Platform/ML/Kernels/Attention.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/AmxAttention.h"
#include "Platform/ML/Kernels/Packed/AmxGemm.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace ml::kernels {
namespace {

// Query rows per task, in register tiles: 8 tiles of 12 rows keep a block's scores (96 x 1500 floats,
// 576 KB) in L2 between the two products.
constexpr size_t kBlockTiles = 8;
// Keys per slice of the weighted sum: one slice of a value panel (256 x 32 floats) stays in L1.
constexpr size_t kKeySlice = 256;

// C[paddedRows, panels * nr] (row stride ldc) = A[paddedRows, depth] (row stride lda) times a panel-major
// B, on whole register tiles (the callers pad rows and columns). Slice by slice of the depth, so one
// slice of a panel stays in L1 while every row tile of the block uses it.
void tileProduct(const KernelTable& k, size_t paddedRows, size_t panels, size_t depth, const float* a, size_t lda,
                 const float* bPanels, size_t panelStride, float* c, size_t ldc) {
    const size_t mr = k.gemmTileRows, nr = k.gemmPanelWidth;
    for (size_t k0 = 0; k0 < depth; k0 += kKeySlice) {
        const size_t slice = std::min(kKeySlice, depth - k0);
        for (size_t p = 0; p < panels; ++p)
            for (size_t r = 0; r < paddedRows; r += mr)
                k.gemmTile(slice, a + r * lda + k0, lda, bPanels + p * panelStride + k0 * nr, c + r * ldc + p * nr,
                           ldc, k0 > 0);
    }
}

} // namespace

void scoresToWeights(const AttentionArgs& a, const KernelTable& k, size_t query, float* row, size_t seen) {
    if (a.keyMask)
        k.add(row, a.keyMask, seen);
    if (a.causal)
        for (size_t j = query + (a.keys - a.queries) + 1; j < seen; ++j)
            row[j] = -INFINITY;
    k.softmax(row, seen);
}

void attention(const AttentionArgs& a) {
    if (a.headSize == 0 || a.heads == 0)
        throw std::invalid_argument("attention needs at least one head of non-zero size");
    if (a.causal && a.queries > a.keys)
        throw std::invalid_argument("causal attention needs at least as many keys as queries");
    if (a.queries == 0)
        return;
    if (a.precision == Precision::bfloat16 && a.headSize % 32 == 0 && amxAvailable()) {
        amxAttention(a);
        return;
    }
    const KernelTable& k = a.kernels ? *a.kernels : activeKernels();
    ThreadPool& pool = ThreadPool::shared();
    const size_t mr = k.gemmTileRows, nr = k.gemmPanelWidth, hs = a.headSize;
    const float scale = 1.0f / std::sqrt(float(hs));
    const size_t offset = a.keys - (a.causal ? a.queries : 0);

    // Each head's keys (transposed, and scaled: the scores come out scaled) and values once in the register
    // tiles' panel layout, shared by every query block: keys as [key panel][head channel][nr keys], values
    // as [channel panel][key][nr channels].
    const size_t keyPanels = blocksOf(a.keys, nr), valuePanels = blocksOf(hs, nr);
    const size_t keyPanelSize = hs * nr, valuePanelSize = a.keys * nr;
    std::vector<float> keys(a.heads * keyPanels * keyPanelSize), values(a.heads * valuePanels * valuePanelSize);
    pool.parallelFor(a.heads, [&](size_t h) {
        float* kp = keys.data() + h * keyPanels * keyPanelSize;
        for (size_t j = 0; j < a.keys; ++j) {
            const float* source = a.k + j * a.ldk + h * hs;
            float* target = kp + (j / nr) * keyPanelSize + j % nr;
            for (size_t c = 0; c < hs; ++c)
                target[c * nr] = source[c] * scale;
        }
        float* vp = values.data() + h * valuePanels * valuePanelSize;
        for (size_t j = 0; j < a.keys; ++j) {
            const float* source = a.v + j * a.ldv + h * hs;
            for (size_t c = 0; c < hs; ++c)
                vp[(c / nr) * valuePanelSize + j * nr + c % nr] = source[c];
        }
    });

    const size_t blockRows = mr * kBlockTiles, blocks = blocksOf(a.queries, blockRows);
    pool.parallelFor(a.heads * blocks, [&](size_t task) {
        thread_local std::vector<float> scores, queries, sums;
        const size_t h = task / blocks, q0 = (task % blocks) * blockRows;
        const size_t rows = std::min(blockRows, a.queries - q0);
        // Keys that no query of this block may see are left out of both products.
        const size_t seen = a.causal ? std::min(a.keys, q0 + rows + offset) : a.keys;
        const size_t paddedRows = blocksOf(rows, mr) * mr, ld = blocksOf(seen, nr) * nr;
        if (scores.size() < paddedRows * ld)
            scores.resize(paddedRows * ld);
        // The block's queries; a partial last tile reads zero rows, not past the array.
        const float* q = a.q + q0 * a.ldq + h * hs;
        size_t ldq = a.ldq;
        if (rows < paddedRows) {
            queries.assign(paddedRows * hs, 0.0f);
            for (size_t r = 0; r < rows; ++r)
                std::memcpy(queries.data() + r * hs, q + r * a.ldq, hs * sizeof(float));
            q = queries.data();
            ldq = hs;
        }
        float* s = scores.data();
        // Scores for whole panels of keys: those past `seen` are computed and never read.
        tileProduct(k, paddedRows, ld / nr, hs, q, ldq, keys.data() + h * keyPanels * keyPanelSize, keyPanelSize,
                    s, ld);
        for (size_t r = 0; r < paddedRows; ++r) {
            float* row = s + r * ld;
            if (r >= rows) { // padding rows take part in the tiles: keep them finite
                std::fill(row, row + ld, 0.0f);
                continue;
            }
            scoresToWeights(a, k, q0 + r, row, seen);
        }
        const size_t width = valuePanels * nr;
        sums.resize(paddedRows * width);
        tileProduct(k, paddedRows, valuePanels, seen, s, ld, values.data() + h * valuePanels * valuePanelSize,
                    valuePanelSize, sums.data(), width);
        for (size_t r = 0; r < rows; ++r)
            std::memcpy(a.out + (q0 + r) * a.ldo + h * hs, sums.data() + r * width, hs * sizeof(float));
    });
}

} // namespace ml::kernels
