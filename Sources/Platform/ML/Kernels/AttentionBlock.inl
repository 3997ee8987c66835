// The float32 attention kernel, written once in the vocabulary of Simd.h and compiled per instruction set
// by AttentionBlock_<isa>.cpp (each includes it once).
//
// Flash-style: a tile of query rows walks the keys in blocks; each block's scores stay in L1, go through
// an online soft-max (running maximum and sum per row, the partial output rescaled when the maximum
// grows) and into the weighted sum at once. Scores are in base 2 (the keys come scaled by log2 e), so the
// exponential is a bare 2^x.

#include "Platform/ML/Kernels/AttentionBlock.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <vector>
#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

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
// What hidden scores become (finite, so differences stay defined; 2^(hidden - anything seen) is 0).
constexpr float kHidden = -1e30f;
constexpr float kLog2e = 1.44269504088896341f;
// Tiles of queries that take turns on each block of keys: a key panel comes from L2 once for all of them.
constexpr size_t kTiles = 2;
// Row slots of whole vectors, for the per-row figures computed a vector at a time.
constexpr size_t kRowSlots = (kRows + kWidth - 1) / kWidth * kWidth;
// Panel rows ahead to ask for: the panels stream from L2, faster than the hardware prefetcher brings them.
constexpr size_t kPrefetchAhead = 8;

inline void prefetchPanelRow(const float* row) {
    for (size_t line = 0; line < kPanel; line += 16)
        __builtin_prefetch(row + line);
}

// 2^x for x <= 0: x = n + r with |r| <= 1/2, a degree-5 minimax polynomial for 2^r (relative error
// 2.4e-7 in float) scaled by 2^n. Anything far below the float range gives exactly 0.
#if defined(VELMORA_SIMD_AVX2)
inline vf vexp2(vf x) {
#if !defined(VELMORA_SIMD_AVX512)
    x = vmax(x, vset(-127.0f)); // n = -127 makes exponent bits 0 below: exactly 0 (scalef needs no floor)
#endif
    const vf n = vround(x), r = vsub(x, n);
    vf p = vset(1.327647245e-03f);
    p = vfma(p, r, vset(9.675540961e-03f));
    p = vfma(p, r, vset(5.550713092e-02f));
    p = vfma(p, r, vset(2.402212024e-01f));
    p = vfma(p, r, vset(6.931469440e-01f));
    p = vfma(p, r, vset(1.000000119e+00f));
    return vscale2(p, n);
}
#else
inline vf vexp2(vf x) {
    return std::exp2(x);
}
#endif

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

// One row of a block's scores, n a multiple of kWidth: the largest.
inline float blockMax(const float* row, size_t n) {
    vf m0 = vset(kHidden), m1 = vset(kHidden);
    size_t j = 0;
    for (; j + 2 * kWidth <= n; j += 2 * kWidth) {
        m0 = vmax(m0, vload(row + j));
        m1 = vmax(m1, vload(row + j + kWidth));
    }
    if (j < n)
        m0 = vmax(m0, vload(row + j));
    return vhmax(vmax(m0, m1));
}

// row[j] = 2^(row[j] - shift) over n (a multiple of kWidth); their sum is added to *total (a vector of
// partial sums, first rescaled), so no row is reduced to one number before the tile's end.
inline void exp2Shifted(float* row, size_t n, float shift, float rescale, float* total) {
    const vf s = vset(shift);
    vf sum0 = vmul(vload(total), vset(rescale)), sum1 = vset(0.0f);
    size_t j = 0;
    for (; j + 2 * kWidth <= n; j += 2 * kWidth) {
        const vf e0 = vexp2(vsub(vload(row + j), s)), e1 = vexp2(vsub(vload(row + j + kWidth), s));
        vstore(row + j, e0);
        vstore(row + j + kWidth, e1);
        sum0 = vadd(sum0, e0);
        sum1 = vadd(sum1, e1);
    }
    if (j < n) {
        const vf e = vexp2(vsub(vload(row + j), s));
        vstore(row + j, e);
        sum0 = vadd(sum0, e);
    }
    vstore(total, vadd(sum0, sum1));
}

// row[j] = max(row[j] + log2(e) mask[j], hidden) over n: the mask in the scores' base.
inline void addMask(float* row, const float* mask, size_t n) {
    size_t j = 0;
    for (; j + kWidth <= n; j += kWidth)
        vstore(row + j, vmax(vfma(vload(mask + j), vset(kLog2e), vload(row + j)), vset(kHidden)));
    for (; j < n; ++j)
        row[j] = std::max(row[j] + kLog2e * mask[j], kHidden);
}

// Weights of keys far below a row's maximum come out subnormal, and products with subnormal operands take
// a microcode path tens of times slower: while the kernel runs, subnormals count as zero.
class SubnormalsAsZero {
public:
#if defined(__SSE__) || defined(__x86_64__)
    SubnormalsAsZero() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040); } // flush to zero, denormals are zero
    ~SubnormalsAsZero() { _mm_setcsr(saved_); }

private:
    unsigned saved_;
#endif
};

// One tile of query rows on its walk through the keys.
struct Tile {
    const float* q;
    size_t ldq;
    size_t rows;
    size_t first;  // the index of its first query
    float* scores; // a block's scores, row stride kScoreStride
    float* sums;   // the weighted sums so far, row stride `width`
    float* totals; // per row, a vector of partial soft-max sums
    // Per row: the running maximum, the block's, and the factor from one to the other (whole vectors).
    float maximum[kRowSlots], next[kRowSlots], rescale[kRowSlots];
};

// A block's scores into weights: the mask and cut-off, the new running maximum per row, the factor that
// rescales what came before, and the exponentials (summed per row).
void blockWeights(const AttentionBlock& b, Tile& t, size_t k0, size_t count, size_t n) {
    for (size_t r = 0; r < kRows; ++r) {
        float* row = t.scores + r * kScoreStride;
        size_t visible = count;
        if (b.causal) {
            const size_t cutOff = t.first + r + b.causalShift + 1; // keys this row sees
            visible = cutOff > k0 ? std::min(count, cutOff - k0) : 0;
        }
        if (b.keyMask)
            addMask(row, b.keyMask + k0, visible);
        for (size_t j = visible; j < n; ++j) // the cut-off and the last panel's padding
            row[j] = kHidden;
        t.next[r] = std::max(t.maximum[r], blockMax(row, n));
    }
    for (size_t r = 0; r < kRowSlots; r += kWidth)
        vstore(t.rescale + r, vexp2(vsub(vload(t.maximum + r), vload(t.next + r))));
    for (size_t r = 0; r < kRows; ++r)
        exp2Shifted(t.scores + r * kScoreStride, n, t.next[r], t.rescale[r], t.totals + r * kWidth);
    std::copy(std::begin(t.next), std::end(t.next), t.maximum);
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
            t.first = b.firstQuery + r0;
            t.scores = scratch.data() + i * perTile;
            t.sums = t.scores + kRows * kScoreStride;
            float* padded = t.sums + kRows * width;
            t.totals = padded + kRows * hs;
            t.q = b.queries + r0 * b.ldq;
            t.ldq = b.ldq;
            if (t.rows < kRows) { // a partial tile reads zero rows, not past the queries
                std::fill(padded, padded + kRows * hs, 0.0f);
                for (size_t r = 0; r < t.rows; ++r)
                    std::copy(t.q + r * b.ldq, t.q + r * b.ldq + hs, padded + r * hs);
                t.q = padded;
                t.ldq = hs;
            }
            std::fill(t.sums, t.sums + kRows * width, 0.0f);
            std::fill(t.totals, t.totals + kRows * kWidth, 0.0f);
            std::fill(std::begin(t.maximum), std::end(t.maximum), kHidden);
        }
        // Keys past the last row's cut-off are left out of both products.
        const size_t seen = b.causal ? std::min(b.keys, tiles[count - 1].first + kRows + b.causalShift) : b.keys;

        // The tiles take turns on each key panel and value slice while it is in L1.
        for (size_t k0 = 0; k0 < seen; k0 += kKeyBlock) {
            const size_t keys = std::min(kKeyBlock, seen - k0), panels = blocksOf(keys, kPanel);
            for (size_t p = 0; p < panels; ++p)
                for (size_t i = 0; i < count; ++i)
                    scorePanel(tiles[i].q, tiles[i].ldq, b.keyPanels + (k0 / kPanel + p) * keyPanelSize, hs,
                               tiles[i].scores + p * kPanel, kScoreStride);
            for (size_t i = 0; i < count; ++i)
                blockWeights(b, tiles[i], k0, keys, panels * kPanel);
            for (size_t p = 0; p < width / kPanel; ++p)
                for (size_t i = 0; i < count; ++i)
                    sumPanel(tiles[i].scores, kScoreStride, b.valuePanels + p * valuePanelSize + k0 * kPanel, keys,
                             tiles[i].rescale, tiles[i].sums + p * kPanel, width);
        }

        for (size_t i = 0; i < count; ++i) {
            const Tile& t = tiles[i];
            for (size_t r = 0; r < t.rows; ++r) {
                float* out = b.out + (t.first - b.firstQuery + r) * b.ldo;
                // A row that saw nothing (every key hidden) averages nothing: zeros, as its soft-max.
                const float inverse = t.maximum[r] > kHidden ? 1.0f / vsum(vload(t.totals + r * kWidth)) : 0.0f;
                const float* sums = t.sums + r * width;
                const vf factor = vset(inverse);
                size_t c = 0;
                for (; c + kWidth <= hs; c += kWidth)
                    vstore(out + c, vmul(vload(sums + c), factor));
                for (; c < hs; ++c)
                    out[c] = sums[c] * inverse;
            }
        }
    }
}

void fillAttentionBlock(KernelTable& table) {
    table.attentionPanelWidth = kPanel;
    table.attentionBlock = attentionBlockBody;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
