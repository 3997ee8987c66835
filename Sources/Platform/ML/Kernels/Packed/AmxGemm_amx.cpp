// The tile product; compiled for AMX and AVX-512 BF16, called only where amxAvailable().
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/AmxGemm.h"
#include "Platform/ML/Kernels/Packed/AmxTiles.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"
#include "Platform/ML/Kernels/Packed/PanelSlice.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>
#include <vector>

namespace ml::kernels {
namespace {

// Inputs per slice: a pair of weight tiles' slice (2 x 256 x 32 bfloat16 = 32 KB) stays in L1 while every
// row pair of the block runs over it; the sums wait in float between slices.
constexpr size_t kSliceBlocks = 8;

} // namespace

void amxLinearRows(const float* x, size_t rows, const PackedWeights& W, size_t columnBegin, size_t columnEnd,
                   const float* bias, float* y, bool accumulate, bool gelu) {
    const size_t in = W.in(), out = W.out(), depth = W.paddedIn(), blocks = depth / 32;
    const size_t paddedRows = (rows + 31) / 32 * 32, width = (columnEnd - columnBegin + 31) / 32 * 32;
    // Activations in tile order: [16-row tile][32-input block][16 x 32], each operand tile one
    // contiguous kilobyte.
    thread_local std::vector<uint16_t> a, panelScratch;
    thread_local std::vector<float> sums;
    panelScratch.resize(kSliceBlocks * amx::kTileElements * 2);
    if (a.size() < paddedRows * depth)
        a.resize(paddedRows * depth);
    if (sums.size() < paddedRows * width)
        sums.resize(paddedRows * width);
    for (size_t r = 0; r < paddedRows; ++r) {
        uint16_t* first = a.data() + (r / 16) * blocks * amx::kTileElements + (r % 16) * 32;
        if (r < rows)
            amx::rowToBfloat16(x + r * in, in, blocks, amx::kTileElements, first);
        else
            for (size_t block = 0; block < blocks; ++block)
                std::memset(first + block * amx::kTileElements, 0, 64);
    }

    if (blocks == 0) // no inputs: the sums are zero
        std::fill(sums.begin(), sums.begin() + paddedRows * width, 0.0f);
    amx::configureTiles();
    const size_t stride = width * sizeof(float);
    for (size_t s0 = 0; s0 < blocks; s0 += kSliceBlocks) {
        const size_t s1 = std::min(blocks, s0 + kSliceBlocks);
        for (size_t n = 0; n < width; n += 32) {
            // A 32-column panel's pair rows hold the two right operand tiles side by side: each tile reads
            // every other 64 bytes.
            const uint16_t* b0 = panelSlice(W, (columnBegin + n) / PackedWeights::kBfloatPanelWidth, s0 * 32,
                                            (s1 - s0) * 32, panelScratch.data());
            const uint16_t* b1 = b0 + 32;
            for (size_t m = 0; m < paddedRows; m += 32) {
                float* c = sums.data() + m * width + n;
                if (s0 == 0) {
                    _tile_zero(0);
                    _tile_zero(1);
                    _tile_zero(2);
                    _tile_zero(3);
                } else {
                    _tile_loadd(0, c, stride);
                    _tile_loadd(1, c + 16, stride);
                    _tile_loadd(2, c + 16 * width, stride);
                    _tile_loadd(3, c + 16 * width + 16, stride);
                }
                const uint16_t* a0 = a.data() + (m / 16) * blocks * amx::kTileElements;
                const uint16_t* a1 = a0 + blocks * amx::kTileElements;
                for (size_t block = s0; block < s1; ++block) {
                    _tile_loadd(4, a0 + block * amx::kTileElements, 64);
                    _tile_loadd(5, a1 + block * amx::kTileElements, 64);
                    _tile_loadd(6, b0 + (block - s0) * 2 * amx::kTileElements, 128);
                    _tile_loadd(7, b1 + (block - s0) * 2 * amx::kTileElements, 128);
                    _tile_dpbf16ps(0, 4, 6);
                    _tile_dpbf16ps(1, 4, 7);
                    _tile_dpbf16ps(2, 5, 6);
                    _tile_dpbf16ps(3, 5, 7);
                }
                _tile_stored(0, c, stride);
                _tile_stored(1, c + 16, stride);
                _tile_stored(2, c + 16 * width, stride);
                _tile_stored(3, c + 16 * width + 16, stride);
            }
        }
    }
    // Hands the tile state back, so the thread does not carry it through every later context switch.
    _tile_release();

    const KernelTable& k = activeKernels();
    const size_t columns = columnEnd - columnBegin;
    for (size_t r = 0; r < rows; ++r) {
        float* target = y + r * out + columnBegin;
        const float* row = sums.data() + r * width;
        for (size_t j = 0; j < columns; ++j)
            target[j] = (accumulate ? target[j] : 0.0f) + row[j] + (bias ? bias[columnBegin + j] : 0.0f);
        if (gelu)
            k.gelu(target, columns);
    }
}

} // namespace ml::kernels
