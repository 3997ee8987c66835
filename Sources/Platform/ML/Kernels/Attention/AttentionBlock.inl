// The float32 attention kernel, written once in the vocabulary of Simd.h and compiled per instruction set
// by AttentionBlock_<isa>.cpp (each includes it once).
//
// Flash-style: a tile of query rows walks the keys in blocks; each block's scores stay in L1, go through
// the online soft-max (OnlineSoftmax.inl; the partial output rescaled when a row's maximum grows) and
// into the weighted sum at once.

#include "Platform/ML/Kernels/Attention/AttentionBlock.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"
#include "Platform/ML/Kernels/Attention/OnlineSoftmax.inl"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <vector>

namespace ml::kernels::VELMORA_ISA {
namespace {

// Query rows per tile and vectors per panel: the tile's sums fill the register file but for the panel's
// vectors and one broadcast (12 x 2 of 32 zmm, 6 x 2 of 16 ymm; the scalar fallback keeps 4 x 4).
#if defined(VELMORA_SIMD_AVX512)
constexpr size_t kRows = 12, kVectors = 2;
#elif defined(VELMORA_SIMD_AVX2)
constexpr size_t kRows = 6, kVectors = 2;
#else
constexpr size_t kRows = 4, kVectors = 4;
#endif
constexpr size_t kPanel = kVectors * kWidth;
// Keys per block: a tile's block of scores (12 x 256 floats) stays in L1 from the product to the sum.
constexpr size_t kKeyBlock = 256;
// A block's score row stride: a line further than the block, so the tile's rows fall in different L1 sets.
constexpr size_t kScoreStride = kKeyBlock + 16;
// Tiles of queries that take turns on each block of keys: a key panel comes from L2 once for all of them.
constexpr size_t kTiles = 2;
// Row slots of whole vectors, for the per-row figures computed a vector at a time.
constexpr size_t kRowSlots = (kRows + kWidth - 1) / kWidth * kWidth;

// One tile of query rows on its walk through the keys.
struct Tile {
    const float* q;
    size_t ldq;
    size_t rows; // of queries (the rest of the tile is padding)
    float* sums; // the weighted sums so far, row stride `width`
    SoftmaxRows soft;
    float maximum[kRowSlots], next[kRowSlots], rescale[kRowSlots];
};
// Panel rows ahead to ask for: the panels stream from L2, faster than the hardware prefetcher brings them.
constexpr size_t kPrefetchAhead = 8;

inline void prefetchPanelRow(const float* row) {
    for (size_t line = 0; line < kPanel; line += 16)
        __builtin_prefetch(row + line);
}

// S[kRows, kPanel] (row stride lds) = Q[kRows, depth] (row stride ldq) times one key panel.
inline void scorePanel(const float* q, size_t ldq, const float* panel, size_t depth, float* s, size_t lds) {
    vf acc[kRows][kVectors];
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r)
#pragma GCC unroll 4
        for (size_t v = 0; v < kVectors; ++v)
            acc[r][v] = vset(0.0f);
    for (size_t c = 0; c < depth; ++c, panel += kPanel) {
        prefetchPanelRow(panel + kPrefetchAhead * kPanel);
        vf keys[kVectors];
#pragma GCC unroll 4
        for (size_t v = 0; v < kVectors; ++v)
            keys[v] = vload(panel + v * kWidth);
#pragma GCC unroll 16
        for (size_t r = 0; r < kRows; ++r) {
            const vf x = vset(q[r * ldq + c]);
#pragma GCC unroll 4
            for (size_t v = 0; v < kVectors; ++v)
                acc[r][v] = vfma(x, keys[v], acc[r][v]);
        }
    }
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r)
#pragma GCC unroll 4
        for (size_t v = 0; v < kVectors; ++v)
            vstore(s + r * lds + v * kWidth, acc[r][v]);
}

// O[kRows, kPanel] (row stride ldo) = O * rescale (per row) + P[kRows, count] (row stride ldp) times
// `count` rows of one value panel.
inline void sumPanel(const float* p, size_t ldp, const float* panel, size_t count, const float* rescale, float* o,
                     size_t ldo) {
    vf acc[kRows][kVectors];
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r) {
        const vf factor = vset(rescale[r]);
#pragma GCC unroll 4
        for (size_t v = 0; v < kVectors; ++v)
            acc[r][v] = vmul(vload(o + r * ldo + v * kWidth), factor);
    }
    for (size_t j = 0; j < count; ++j, panel += kPanel) {
        prefetchPanelRow(panel + kPrefetchAhead * kPanel);
        vf values[kVectors];
#pragma GCC unroll 4
        for (size_t v = 0; v < kVectors; ++v)
            values[v] = vload(panel + v * kWidth);
#pragma GCC unroll 16
        for (size_t r = 0; r < kRows; ++r) {
            const vf x = vset(p[r * ldp + j]);
#pragma GCC unroll 4
            for (size_t v = 0; v < kVectors; ++v)
                acc[r][v] = vfma(x, values[v], acc[r][v]);
        }
    }
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r)
#pragma GCC unroll 4
        for (size_t v = 0; v < kVectors; ++v)
            vstore(o + r * ldo + v * kWidth, acc[r][v]);
}

void attentionBlockBody(const AttentionBlock& b) {
    const size_t hs = b.headSize, width = blocksOf(hs, kPanel) * kPanel;
    const size_t keyPanelSize = hs * kPanel, valuePanelSize = b.keys * kPanel;
    const size_t perTile = kRows * (kScoreStride + width + hs + kWidth);
    thread_local std::vector<float> scratch;
    scratch.resize(kTiles * perTile);
    Tile tiles[kTiles];
    const SubnormalsAsZero subnormals;

    for (size_t g0 = 0; g0 < b.rows; g0 += kTiles * kRows) {
        const size_t count = std::min(kTiles, blocksOf(b.rows - g0, kRows));
        for (size_t i = 0; i < count; ++i) {
            Tile& t = tiles[i];
            const size_t r0 = g0 + i * kRows;
            t.rows = std::min(kRows, b.rows - r0);
            float* scores = scratch.data() + i * perTile;
            t.sums = scores + kRows * kScoreStride;
            float* padded = t.sums + kRows * width;
            t.soft = {scores, kScoreStride, kRows, b.firstQuery + r0, t.maximum, t.next, t.rescale, padded + kRows * hs};
            startRows(t.soft);
            std::fill(t.sums, t.sums + kRows * width, 0.0f);
            t.q = b.queries + r0 * b.ldq;
            t.ldq = b.ldq;
            if (t.rows < kRows) { // a partial tile reads zero rows, not past the queries
                std::fill(padded, padded + kRows * hs, 0.0f);
                for (size_t r = 0; r < t.rows; ++r)
                    std::copy(t.q + r * b.ldq, t.q + r * b.ldq + hs, padded + r * hs);
                t.q = padded;
                t.ldq = hs;
            }
        }
        // Keys past the last row's cut-off are left out of both products.
        const size_t last = tiles[count - 1].soft.first;
        const size_t seen = b.causal ? std::min(b.keys, last + kRows + b.causalShift) : b.keys;

        // The tiles take turns on each key panel and value slice while it is in L1.
        for (size_t k0 = 0; k0 < seen; k0 += kKeyBlock) {
            const size_t keys = std::min(kKeyBlock, seen - k0), panels = blocksOf(keys, kPanel);
            for (size_t p = 0; p < panels; ++p)
                for (size_t i = 0; i < count; ++i)
                    scorePanel(tiles[i].q, tiles[i].ldq, b.keyPanels + (k0 / kPanel + p) * keyPanelSize, hs,
                               tiles[i].soft.scores + p * kPanel, kScoreStride);
            for (size_t i = 0; i < count; ++i)
                blockWeights(b, tiles[i].soft, k0, keys, panels * kPanel);
            for (size_t p = 0; p < width / kPanel; ++p)
                for (size_t i = 0; i < count; ++i)
                    sumPanel(tiles[i].soft.scores, kScoreStride, b.valuePanels + p * valuePanelSize + k0 * kPanel,
                             keys, tiles[i].rescale, tiles[i].sums + p * kPanel, width);
        }

        for (size_t i = 0; i < count; ++i) {
            const Tile& t = tiles[i];
            for (size_t r = 0; r < t.rows; ++r)
                scaleRow(t.sums + r * width, hs, rowNormaliser(t.soft, r),
                         b.out + (t.soft.first - b.firstQuery + r) * b.ldo);
        }
    }
}

void fillAttentionBlock(KernelTable& table) {
    table.attentionPanelWidth = kPanel;
    table.attentionBlock = attentionBlockBody;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
