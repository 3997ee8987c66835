// Attention on the matrix tiles; compiled for AMX and AVX-512 BF16, called only where amxAvailable().
// Both products on the tiles, the online soft-max between them in float32 on AVX-512.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/Packed/AmxAttention.h"

#include "Platform/ML/Kernels/Attention/AttentionBlock.h"
#include "Platform/ML/Kernels/Packed/AmxTiles.h"
#include "Platform/ML/Kernels/Simd.h"
#include "Platform/ML/Kernels/Attention/OnlineSoftmax.inl"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ml::kernels {
namespace {

using amx::kTileElements;
using namespace avx512;

// Query rows per task (two row tiles), keys per block (eight blocks of 32), and the row stride of a
// block's scores (a line further than the block, so the rows fall in different L1 sets).
constexpr size_t kRows = 32, kKeyBlock = 256, kScoreStride = kKeyBlock + 16;
// Keys per task of the layout (whole blocks of 32).
constexpr size_t kLayoutKeys = 256;

// Sums[32 rows, 32 columns] (row stride ld floats) of left[rows tiles, blocks] x right[column tiles, blocks],
// with both operands in tile order ([tile][block][16 x 32]).
void tileBlock(const uint16_t* left0, const uint16_t* left1, const uint16_t* right0, const uint16_t* right1,
               size_t blocks, float* sums, size_t ld) {
    _tile_zero(0);
    _tile_zero(1);
    _tile_zero(2);
    _tile_zero(3);
    for (size_t b = 0; b < blocks; ++b) {
        _tile_loadd(4, left0 + b * kTileElements, 64);
        _tile_loadd(5, left1 + b * kTileElements, 64);
        _tile_loadd(6, right0 + b * kTileElements, 64);
        _tile_loadd(7, right1 + b * kTileElements, 64);
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(1, 4, 7);
        _tile_dpbf16ps(2, 5, 6);
        _tile_dpbf16ps(3, 5, 7);
    }
    const size_t stride = ld * sizeof(float);
    _tile_stored(0, sums, stride);
    _tile_stored(1, sums + 16, stride);
    _tile_stored(2, sums + 16 * ld, stride);
    _tile_stored(3, sums + 16 * ld + 16, stride);
}

// One row of a block's scores (n a multiple of 32) into weights 2^(score - shift), straight into its row of
// bfloat16 operand tiles (block b at out + b * kTileElements); their sum is added to *total, first rescaled.
void weightsToBfloat16(const float* row, size_t n, float shift, float rescale, float* total, uint16_t* out) {
    const __m512 s = _mm512_set1_ps(shift);
    __m512 sum0 = _mm512_mul_ps(_mm512_loadu_ps(total), _mm512_set1_ps(rescale)), sum1 = _mm512_setzero_ps();
    for (size_t j = 0; j < n; j += 32, out += kTileElements) {
        const __m512 e0 = vexp2(_mm512_sub_ps(_mm512_loadu_ps(row + j), s));
        const __m512 e1 = vexp2(_mm512_sub_ps(_mm512_loadu_ps(row + j + 16), s));
        sum0 = _mm512_add_ps(sum0, e0);
        sum1 = _mm512_add_ps(sum1, e1);
        _mm512_storeu_si512(out, (__m512i)_mm512_cvtne2ps_pbh(e1, e0));
    }
    _mm512_storeu_ps(total, _mm512_add_ps(sum0, sum1));
}

} // namespace

void amxAttention(const AttentionArgs& a) {
    ThreadPool& pool = ThreadPool::shared();
    const size_t hs = a.headSize, channelBlocks = hs / 32, paddedKeys = blocksOf(a.keys, 32) * 32;
    const size_t keyBlocks = paddedKeys / 32;
    // Scores in base 2, as the online soft-max takes them.
    const float scale = 1.4426950408889634f / std::sqrt(float(hs));

    // Right operands per head, in tile order (keys scaled: the scores come out scaled): keys as [16-key tile][channel block][channel pair][key][2]
    // (scores = queries x keys^T), values as [16-channel tile][key block][key pair][channel][2].
    const size_t keyTiles = paddedKeys / 16, valueTiles = hs / 16;
    const size_t keysPerHead = keyTiles * channelBlocks * kTileElements;
    const size_t valuesPerHead = valueTiles * keyBlocks * kTileElements;
    // Kept from call to call (every layer has the same shape): no allocation, no zeroing of megabytes. (The
    // pool's threads see their own thread_local variables: they get plain pointers.)
    thread_local std::vector<uint16_t> keyStore, valueStore;
    keyStore.resize(std::max(keyStore.size(), a.heads * keysPerHead));
    valueStore.resize(std::max(valueStore.size(), a.heads * valuesPerHead));
    uint16_t* const keys = keyStore.data();
    uint16_t* const values = valueStore.data();
    // In slices of keys (whole key blocks), so every thread has a share even with few heads.
    const size_t slices = blocksOf(paddedKeys, kLayoutKeys);
    pool.parallelFor(a.heads * slices, [&](size_t task) {
        const size_t h = task / slices, j0 = (task % slices) * kLayoutKeys;
        const size_t j1 = std::min(paddedKeys, j0 + kLayoutKeys); // the last block's padding is zeros
        uint16_t* kt = keys + h * keysPerHead;
        uint16_t* vt = values + h * valuesPerHead;
        const __m512 factor = _mm512_set1_ps(scale);
        // A key's 32 channels of a block are 16 channel pairs: one 32-bit element in each row of its tile.
        const __m512i pairRows = _mm512_mullo_epi32(
            _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), _mm512_set1_epi32(16));
        for (size_t j = j0; j < j1; ++j) {
            const float* key = j < a.keys ? a.k + j * a.ldk + h * hs : nullptr;
            for (size_t block = 0; block < channelBlocks; ++block) {
                const __m512 low = key ? _mm512_mul_ps(_mm512_loadu_ps(key + block * 32), factor) : _mm512_setzero_ps();
                const __m512 high =
                    key ? _mm512_mul_ps(_mm512_loadu_ps(key + block * 32 + 16), factor) : _mm512_setzero_ps();
                uint16_t* tile = kt + ((j / 16) * channelBlocks + block) * kTileElements + (j % 16) * 2;
                _mm512_i32scatter_epi32(tile, pairRows, (__m512i)_mm512_cvtne2ps_pbh(high, low), 4);
            }
        }
        // Two keys' values for 16 channels interleave into one 64-byte row of a value tile.
        alignas(64) static constexpr uint16_t kInterleave[32] = {0, 16, 1, 17, 2,  18, 3,  19, 4,  20, 5,
                                                                 21, 6, 22, 7, 23, 8,  24, 9,  25, 10, 26,
                                                                 11, 27, 12, 28, 13, 29, 14, 30, 15, 31};
        const __m512i interleave = _mm512_load_si512(kInterleave);
        for (size_t j = j0; j < j1; j += 2) {
            const float* first = j < a.keys ? a.v + j * a.ldv + h * hs : nullptr;
            const float* second = j + 1 < a.keys ? first + a.ldv : nullptr; // an odd last key pairs with zeros
            for (size_t tile = 0; tile < hs / 16; ++tile) {
                const __m512 low = first ? _mm512_loadu_ps(first + tile * 16) : _mm512_setzero_ps();
                const __m512 high = second ? _mm512_loadu_ps(second + tile * 16) : _mm512_setzero_ps();
                const __m512i pairs = _mm512_permutexvar_epi16(interleave, (__m512i)_mm512_cvtne2ps_pbh(high, low));
                _mm512_storeu_si512(vt + (tile * keyBlocks + j / 32) * kTileElements + (j % 32) / 2 * 32, pairs);
            }
        }
    });

    // Each task: one head, 32 queries (two row tiles) walking the keys a block at a time with the online
    // soft-max; a block's scores, weights and key and value tiles stay in L1.
    const size_t blocks = blocksOf(a.queries, kRows);
    pool.parallelFor(a.heads * blocks, [&](size_t task) {
        thread_local std::vector<uint16_t> queries, weights;
        thread_local std::vector<float> scratch;
        alignas(64) float sums[kRows * 32];
        alignas(64) float maximum[kRows], next[kRows], rescale[kRows];
        const size_t h = task / blocks, q0 = (task % blocks) * kRows;
        const size_t rows = std::min(kRows, a.queries - q0);
        const SubnormalsAsZero subnormals;

        queries.assign(kRows * hs, 0);
        for (size_t r = 0; r < rows; ++r)
            amx::rowToBfloat16(a.q + (q0 + r) * a.ldq + h * hs, hs, channelBlocks, kTileElements,
                               queries.data() + (r / 16) * channelBlocks * kTileElements + (r % 16) * 32);
        weights.resize(kRows * kKeyBlock);
        scratch.resize(kRows * (kScoreStride + hs + kWidth));
        float* const output = scratch.data() + kRows * kScoreStride;
        std::fill(output, output + kRows * hs, 0.0f);
        SoftmaxRows soft{scratch.data(), kScoreStride, kRows, q0, maximum, next, rescale, output + kRows * hs};
        startRows(soft);
        AttentionBlock masking{};
        masking.keyMask = a.keyMask;
        masking.causal = a.causal;
        masking.causalShift = a.keys - a.queries;
        const size_t seen = a.causal ? std::min(a.keys, q0 + kRows + masking.causalShift) : a.keys;

        amx::configureTiles();
        const uint16_t* kt = keys + h * keysPerHead;
        const uint16_t* vt = values + h * valuesPerHead;
        const uint16_t* q = queries.data();
        for (size_t k0 = 0; k0 < seen; k0 += kKeyBlock) {
            const size_t count = std::min(kKeyBlock, seen - k0), pairs = blocksOf(count, 32), n = pairs * 32;
            for (size_t p = 0; p < pairs; ++p) {
                const uint16_t* keyTile = kt + (k0 / 16 + 2 * p) * channelBlocks * kTileElements;
                tileBlock(q, q + channelBlocks * kTileElements, keyTile, keyTile + channelBlocks * kTileElements,
                          channelBlocks, soft.scores + p * 32, kScoreStride);
            }
            blockMaxima(masking, soft, k0, count, n);
            for (size_t r = 0; r < kRows; ++r)
                weightsToBfloat16(soft.scores + r * kScoreStride, n, next[r], rescale[r], soft.totals + r * kWidth,
                                  weights.data() + (r / 16) * pairs * kTileElements + (r % 16) * 32);
            advanceRows(soft);
            // This block's weighted sums, then added to the rescaled ones before.
            for (size_t c = 0; c < hs; c += 32) {
                const uint16_t* valueTile = vt + ((c / 16) * keyBlocks + k0 / 32) * kTileElements;
                tileBlock(weights.data(), weights.data() + pairs * kTileElements, valueTile,
                          valueTile + keyBlocks * kTileElements, pairs, sums, 32);
                for (size_t r = 0; r < kRows; ++r) {
                    float* o = output + r * hs + c;
                    const __m512 factor = _mm512_set1_ps(rescale[r]);
                    for (size_t v = 0; v < 32; v += 16)
                        _mm512_storeu_ps(o + v, _mm512_fmadd_ps(_mm512_loadu_ps(o + v), factor,
                                                                _mm512_loadu_ps(sums + r * 32 + v)));
                }
            }
        }
        _tile_release();
        for (size_t r = 0; r < rows; ++r)
            scaleRow(output + r * hs, hs, rowNormaliser(soft, r), a.out + (q0 + r) * a.ldo + h * hs);
    });
}

} // namespace ml::kernels
