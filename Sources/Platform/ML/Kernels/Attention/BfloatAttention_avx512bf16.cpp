// Attention on bfloat16 vector dot products; compiled for AVX-512 BF16, called only where that road runs.
// The float32 kernel's plan (AttentionBlock.inl) with pairs: a tile of 12 query rows walks the keys in
// blocks of 256; scores come from the queries' channel pairs against 32-key panels, the block's weights go
// straight from the exponentials into bfloat16 rows, and their key pairs meet 32-channel value panels.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/Attention/AttentionBlock.h"
#include "Platform/ML/Kernels/Attention/BfloatAttention.h"
#include "Platform/ML/Kernels/Simd.h"
#include "Platform/ML/Kernels/ThreadPool.h"

// Written in the vocabulary of Simd.h.
#include "Platform/ML/Kernels/Attention/OnlineSoftmax.inl"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <vector>

namespace ml::kernels {
namespace {

using namespace avx512;

// Query rows per tile, columns per panel (keys for the scores, channels for the sums), keys per block, the
// row stride of a block's scores (a line further than the block, so rows fall in different L1 sets),
// query tiles per task sharing each panel while it is in L1, and keys per task of the layout.
constexpr size_t kRows = 12, kPanel = 32, kKeyBlock = 256, kScoreStride = kKeyBlock + 16, kTiles = 2;
constexpr size_t kTaskRows = 96, kLayoutKeys = 256;
constexpr size_t kRowSlots = 16;

// S[kRows, 32] (row stride lds) = Q times one key panel over `pairs` channel pairs; Q packed pair-major
// (q[p * kRows + r]: row r's channels 2p and 2p + 1).
void scoreTile(const uint32_t* q, const uint16_t* panel, size_t pairs, float* s, size_t lds) {
    __m512 acc[kRows][2];
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r)
        acc[r][0] = acc[r][1] = _mm512_setzero_ps();
    __asm__("" : "+r"(s), "+r"(lds));
#pragma GCC unroll 2
    for (size_t p = 0; p < pairs; ++p, q += kRows, panel += 2 * kPanel) {
        const __m512bh w0 = (__m512bh)_mm512_loadu_si512(panel),
                       w1 = (__m512bh)_mm512_loadu_si512(panel + kPanel);
#pragma GCC unroll 16
        for (size_t r = 0; r < kRows; ++r) {
            const __m512bh x = (__m512bh)_mm512_set1_epi32(int(q[r]));
            acc[r][0] = _mm512_dpbf16_ps(acc[r][0], x, w0);
            acc[r][1] = _mm512_dpbf16_ps(acc[r][1], x, w1);
        }
    }
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r) {
        _mm512_storeu_ps(s + r * lds, acc[r][0]);
        _mm512_storeu_ps(s + r * lds + 16, acc[r][1]);
    }
}

// O[kRows, 32] (row stride ldo) = O * rescale (per row) + P times `pairs` key pairs of one value panel; P
// row-major bfloat16 (row stride kKeyBlock), each step one 32-bit pair of every row.
void sumTile(const uint16_t* p, const uint16_t* panel, size_t pairs, const float* rescale, float* o,
             size_t ldo) {
    __m512 acc[kRows][2];
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r) {
        const __m512 factor = _mm512_set1_ps(rescale[r]);
        acc[r][0] = _mm512_mul_ps(_mm512_loadu_ps(o + r * ldo), factor);
        acc[r][1] = _mm512_mul_ps(_mm512_loadu_ps(o + r * ldo + 16), factor);
    }
    __asm__("" : "+r"(o), "+r"(ldo));
    const uint32_t* pairsOfRows = reinterpret_cast<const uint32_t*>(p);
#pragma GCC unroll 2
    for (size_t j = 0; j < pairs; ++j, ++pairsOfRows, panel += 2 * kPanel) {
        const __m512bh w0 = (__m512bh)_mm512_loadu_si512(panel),
                       w1 = (__m512bh)_mm512_loadu_si512(panel + kPanel);
#pragma GCC unroll 16
        for (size_t r = 0; r < kRows; ++r) {
            const __m512bh x = (__m512bh)_mm512_set1_epi32(int(pairsOfRows[r * kKeyBlock / 2]));
            acc[r][0] = _mm512_dpbf16_ps(acc[r][0], x, w0);
            acc[r][1] = _mm512_dpbf16_ps(acc[r][1], x, w1);
        }
    }
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r) {
        _mm512_storeu_ps(o + r * ldo, acc[r][0]);
        _mm512_storeu_ps(o + r * ldo + 16, acc[r][1]);
    }
}

// One row of a block's scores (n a multiple of 32) into weights 2^(score - shift), straight into a row of
// bfloat16; their sum is added to *total (a vector of partial sums, first rescaled).
inline void weightsToBfloat16(const float* row, size_t n, float shift, float rescale, float* total,
                              uint16_t* out) {
    const __m512 s = _mm512_set1_ps(shift);
    __m512 sum0 = _mm512_mul_ps(_mm512_loadu_ps(total), _mm512_set1_ps(rescale)), sum1 = _mm512_setzero_ps();
    for (size_t j = 0; j < n; j += 32) {
        const __m512 e0 = vexp2(_mm512_sub_ps(_mm512_loadu_ps(row + j), s));
        const __m512 e1 = vexp2(_mm512_sub_ps(_mm512_loadu_ps(row + j + 16), s));
        sum0 = _mm512_add_ps(sum0, e0);
        sum1 = _mm512_add_ps(sum1, e1);
        _mm512_storeu_si512(out + j, (__m512i)_mm512_cvtne2ps_pbh(e1, e0));
    }
    _mm512_storeu_ps(total, _mm512_add_ps(sum0, sum1));
}

struct Tile {
    const uint32_t*
        q; // the head's channel pairs of kRows rows in bfloat16, pair-major (zero rows past the queries)
    size_t rows;
    float* sums;       // the weighted sums so far, [kRows][hs]
    uint16_t* weights; // a block's weights in bfloat16, [kRows][kKeyBlock]
    SoftmaxRows soft;
    float maximum[kRowSlots], next[kRowSlots], rescale[kRowSlots];
};

// One head's block of queries against its laid-out keys and values.
void attendBlock(const AttentionBlock& b, const uint16_t* keys, const uint16_t* values) {
    const size_t hs = b.headSize, pairs = hs / 2, valuePanels = hs / kPanel,
                 keyPairs = blocksOf(b.keys, kPanel) * kPanel / 2;
    const size_t perTile = kRows * (kScoreStride + hs) + kRows * kWidth;
    thread_local std::vector<float> scratch;
    thread_local std::vector<uint16_t> halves;
    scratch.resize(kTiles * perTile);
    halves.resize(kTiles * kRows * (hs + kKeyBlock));
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
            t.soft = {scores,    kScoreStride, kRows,     b.firstQuery + r0,
                      t.maximum, t.next,       t.rescale, t.sums + kRows * hs};
            startRows(t.soft);
            std::fill(t.sums, t.sums + kRows * hs, 0.0f);
            uint16_t* q = halves.data() + i * kRows * (hs + kKeyBlock);
            t.weights = q + kRows * hs;
            // Rows to bfloat16 pairs, then pair-major: the score tile takes one 32-bit pair of every row per
            // step.
            uint32_t* packed = reinterpret_cast<uint32_t*>(q);
            for (size_t r = 0; r < kRows; ++r)
                for (size_t c = 0; c < hs; c += 32) {
                    const bool real = r < t.rows;
                    const __m512 low =
                        real ? _mm512_loadu_ps(b.queries + (r0 + r) * b.ldq + c) : _mm512_setzero_ps();
                    const __m512 high =
                        real ? _mm512_loadu_ps(b.queries + (r0 + r) * b.ldq + c + 16) : _mm512_setzero_ps();
                    alignas(64) uint32_t pairs16[16];
                    _mm512_store_si512(pairs16, (__m512i)_mm512_cvtne2ps_pbh(high, low));
                    for (size_t j = 0; j < 16; ++j)
                        packed[(c / 2 + j) * kRows + r] = pairs16[j];
                }
            t.q = packed;
        }
        const size_t last = tiles[count - 1].soft.first;
        const size_t seen = b.causal ? std::min(b.keys, last + kRows + b.causalShift) : b.keys;

        for (size_t k0 = 0; k0 < seen; k0 += kKeyBlock) {
            const size_t n = std::min(kKeyBlock, seen - k0), panels = blocksOf(n, kPanel);
            for (size_t p = 0; p < panels; ++p) {
                const uint16_t* panel = keys + (k0 / kPanel + p) * pairs * 2 * kPanel;
                for (size_t i = 0; i < count; ++i)
                    scoreTile(tiles[i].q, panel, pairs, tiles[i].soft.scores + p * kPanel, kScoreStride);
            }
            for (size_t i = 0; i < count; ++i) {
                Tile& t = tiles[i];
                blockMaxima(b, t.soft, k0, n, panels * kPanel);
                for (size_t r = 0; r < kRows; ++r)
                    weightsToBfloat16(t.soft.scores + r * kScoreStride, panels * kPanel, t.next[r],
                                      t.rescale[r], t.soft.totals + r * kWidth, t.weights + r * kKeyBlock);
                advanceRows(t.soft);
            }
            for (size_t c = 0; c < valuePanels; ++c) {
                const uint16_t* panel = values + c * keyPairs * 2 * kPanel + (k0 / 2) * 2 * kPanel;
                for (size_t i = 0; i < count; ++i)
                    sumTile(tiles[i].weights, panel, panels * kPanel / 2, tiles[i].rescale,
                            tiles[i].sums + c * kPanel, hs);
            }
        }

        for (size_t i = 0; i < count; ++i) {
            const Tile& t = tiles[i];
            for (size_t r = 0; r < t.rows; ++r)
                scaleRow(t.sums + r * hs, hs, rowNormaliser(t.soft, r),
                         b.out + (t.soft.first - b.firstQuery + r) * b.ldo);
        }
    }
}

} // namespace

void bfloatAttention(const AttentionArgs& a) {
    ThreadPool& pool = ThreadPool::shared();
    const size_t hs = a.headSize, pairs = hs / 2, keyPanels = blocksOf(a.keys, kPanel),
                 keyPairs = keyPanels * kPanel / 2;
    // Scores in base 2, as the online soft-max takes them.
    const float scale = 1.4426950408889634f / std::sqrt(float(hs));
    // Per head: keys (scaled) as [32-key panel][channel pair][key][2], values as [32-channel panel][key
    // pair][channel][2]; zero past the last key. Kept from call to call (every layer has the same shape).
    // (The pool's threads see their own thread_local variables: they get plain pointers.)
    const size_t keysPerHead = keyPanels * pairs * 2 * kPanel,
                 valuesPerHead = (hs / kPanel) * keyPairs * 2 * kPanel;
    thread_local std::vector<uint16_t> keyStore, valueStore;
    keyStore.resize(std::max(keyStore.size(), a.heads * keysPerHead));
    valueStore.resize(std::max(valueStore.size(), a.heads * valuesPerHead));
    uint16_t* const keys = keyStore.data();
    uint16_t* const values = valueStore.data();
    const size_t slices = blocksOf(keyPanels * kPanel, kLayoutKeys);
    pool.parallelFor(a.heads * slices, [&](size_t task) {
        const size_t h = task / slices, j0 = (task % slices) * kLayoutKeys;
        const size_t j1 = std::min(keyPanels * kPanel, j0 + kLayoutKeys);
        const __m512 factor = _mm512_set1_ps(scale);
        // A key's 32 channels are 16 pairs, each one 32-bit element of a pair row (stride 32 keys).
        const __m512i pairRows =
            _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                               _mm512_set1_epi32(int(kPanel)));
        for (size_t j = j0; j < j1; ++j) {
            const float* key = j < a.keys ? a.k + j * a.ldk + h * hs : nullptr;
            uint16_t* panel = keys + h * keysPerHead + (j / kPanel) * pairs * 2 * kPanel + (j % kPanel) * 2;
            for (size_t c = 0; c < hs; c += 32) {
                const __m512 low =
                    key ? _mm512_mul_ps(_mm512_loadu_ps(key + c), factor) : _mm512_setzero_ps();
                const __m512 high =
                    key ? _mm512_mul_ps(_mm512_loadu_ps(key + c + 16), factor) : _mm512_setzero_ps();
                _mm512_i32scatter_epi32(panel + (c / 2) * 2 * kPanel, pairRows,
                                        (__m512i)_mm512_cvtne2ps_pbh(high, low), 4);
            }
        }
        // Two keys' values for 16 channels interleave into 32 values of a pair row.
        alignas(64) static constexpr uint16_t kInterleave[32] = {0,  16, 1,  17, 2,  18, 3,  19, 4,  20, 5,
                                                                 21, 6,  22, 7,  23, 8,  24, 9,  25, 10, 26,
                                                                 11, 27, 12, 28, 13, 29, 14, 30, 15, 31};
        const __m512i interleave = _mm512_load_si512(kInterleave);
        for (size_t j = j0; j < j1; j += 2) {
            const float* first = j < a.keys ? a.v + j * a.ldv + h * hs : nullptr;
            const float* second =
                j + 1 < a.keys ? first + a.ldv : nullptr; // an odd last key pairs with zeros
            for (size_t c = 0; c < hs; c += 16) {
                const __m512 low = first ? _mm512_loadu_ps(first + c) : _mm512_setzero_ps();
                const __m512 high = second ? _mm512_loadu_ps(second + c) : _mm512_setzero_ps();
                const __m512i row =
                    _mm512_permutexvar_epi16(interleave, (__m512i)_mm512_cvtne2ps_pbh(high, low));
                uint16_t* target = values + h * valuesPerHead + (c / kPanel) * keyPairs * 2 * kPanel +
                                   (j / 2) * 2 * kPanel + (c % kPanel) * 2;
                _mm512_storeu_si512(target, row);
            }
        }
    });

    const size_t blocks = blocksOf(a.queries, kTaskRows);
    pool.parallelFor(a.heads * blocks, [&](size_t task) {
        const size_t h = task / blocks, q0 = (task % blocks) * kTaskRows;
        AttentionBlock block{};
        block.queries = a.q + q0 * a.ldq + h * hs;
        block.ldq = a.ldq;
        block.rows = std::min(kTaskRows, a.queries - q0);
        block.firstQuery = q0;
        block.keys = a.keys;
        block.headSize = hs;
        block.keyMask = a.keyMask;
        block.causal = a.causal;
        block.causalShift = a.keys - a.queries;
        block.out = a.out + q0 * a.ldo + h * hs;
        block.ldo = a.ldo;
        attendBlock(block, keys + h * keysPerHead, values + h * valuesPerHead);
    });
}

} // namespace ml::kernels
