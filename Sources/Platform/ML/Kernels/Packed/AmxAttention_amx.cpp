// Attention on the matrix tiles; compiled for AMX and AVX-512 BF16, called only where amxAvailable().
#include "Platform/ML/Kernels/Packed/AmxAttention.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/AmxTiles.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace ml::kernels {
namespace {

using amx::kTileElements;

// Query rows per task: four row tiles; the block's scores (64 x 1500 floats) stay in L2.
constexpr size_t kBlockRows = 64;

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

} // namespace

void amxAttention(const AttentionArgs& a) {
    const KernelTable& k = activeKernels();
    ThreadPool& pool = ThreadPool::shared();
    const size_t hs = a.headSize, channelBlocks = hs / 32, paddedKeys = blocksOf(a.keys, 32) * 32;
    const size_t keyBlocks = paddedKeys / 32;
    const float scale = 1.0f / std::sqrt(float(hs));
    const size_t offset = a.keys - (a.causal ? a.queries : 0);

    // Right operands per head, in tile order (keys scaled: the scores come out scaled): keys as [16-key tile][channel block][channel pair][key][2]
    // (scores = queries x keys^T), values as [16-channel tile][key block][key pair][channel][2].
    const size_t keyTiles = paddedKeys / 16, valueTiles = hs / 16;
    const size_t keysPerHead = keyTiles * channelBlocks * kTileElements;
    const size_t valuesPerHead = valueTiles * keyBlocks * kTileElements;
    std::vector<uint16_t> keys(a.heads * keysPerHead, 0), values(a.heads * valuesPerHead, 0);
    pool.parallelFor(a.heads, [&](size_t h) {
        uint16_t* kt = keys.data() + h * keysPerHead;
        uint16_t* vt = values.data() + h * valuesPerHead;
        for (size_t j = 0; j < a.keys; ++j) {
            const float* key = a.k + j * a.ldk + h * hs;
            const float* value = a.v + j * a.ldv + h * hs;
            for (size_t c = 0; c < hs; ++c) {
                kt[((j / 16) * channelBlocks + c / 32) * kTileElements + (c % 32) / 2 * 32 + (j % 16) * 2 + c % 2] =
                    amx::toBfloat16(key[c] * scale);
                vt[((c / 16) * keyBlocks + j / 32) * kTileElements + (j % 32) / 2 * 32 + (c % 16) * 2 + j % 2] =
                    amx::toBfloat16(value[c]);
            }
        }
    });

    const size_t blocks = (a.queries + kBlockRows - 1) / kBlockRows;
    pool.parallelFor(a.heads * blocks, [&](size_t task) {
        thread_local std::vector<uint16_t> queries, weights;
        thread_local std::vector<float> scores;
        alignas(64) float sums[32 * 32];
        const size_t h = task / blocks, q0 = (task % blocks) * kBlockRows;
        const size_t rows = std::min(kBlockRows, a.queries - q0), paddedRows = blocksOf(rows, 32) * 32;
        const size_t seen = a.causal ? std::min(a.keys, q0 + rows + offset) : a.keys;
        const size_t seenBlocks = (seen + 31) / 32, ld = seenBlocks * 32;
        queries.assign(paddedRows * hs, 0);
        weights.resize(paddedRows * ld);
        scores.resize(paddedRows * ld);
        for (size_t r = 0; r < rows; ++r)
            amx::rowToBfloat16(a.q + (q0 + r) * a.ldq + h * hs, hs, channelBlocks, kTileElements,
                               queries.data() + (r / 16) * channelBlocks * kTileElements + (r % 16) * 32);

        amx::configureTiles();
        const uint16_t* kt = keys.data() + h * keysPerHead;
        for (size_t n = 0; n < ld; n += 32)
            for (size_t m = 0; m < paddedRows; m += 32)
                tileBlock(queries.data() + (m / 16) * channelBlocks * kTileElements,
                          queries.data() + (m / 16 + 1) * channelBlocks * kTileElements,
                          kt + (n / 16) * channelBlocks * kTileElements,
                          kt + (n / 16 + 1) * channelBlocks * kTileElements, channelBlocks, scores.data() + m * ld + n,
                          ld);
        for (size_t r = 0; r < paddedRows; ++r) {
            float* row = scores.data() + r * ld;
            uint16_t* target = weights.data() + (r / 16) * seenBlocks * kTileElements + (r % 16) * 32;
            if (r < rows) {
                scoresToWeights(a, k, q0 + r, row, seen);
            } else {
                std::fill(row, row + seen, 0.0f);
            }
            amx::rowToBfloat16(row, seen, seenBlocks, kTileElements, target);
        }
        const uint16_t* vt = values.data() + h * valuesPerHead;
        for (size_t n = 0; n < hs; n += 32)
            for (size_t m = 0; m < paddedRows; m += 32) {
                tileBlock(weights.data() + (m / 16) * seenBlocks * kTileElements,
                          weights.data() + (m / 16 + 1) * seenBlocks * kTileElements,
                          vt + (n / 16) * keyBlocks * kTileElements, vt + (n / 16 + 1) * keyBlocks * kTileElements,
                          seenBlocks, sums, 32);
                for (size_t r = m; r < std::min(rows, m + 32); ++r)
                    std::memcpy(a.out + (q0 + r) * a.ldo + h * hs + n, sums + (r - m) * 32, 32 * sizeof(float));
            }
        _tile_release();
    });
}

} // namespace ml::kernels
