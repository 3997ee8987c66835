// The tile product; compiled for AMX and AVX-512 BF16, called only where amxAvailable().
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/AmxGemm.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>
#include <vector>

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace ml::kernels {
namespace {

struct TileConfig {
    uint8_t palette = 1;
    uint8_t startRow = 0;
    uint8_t reserved[14] = {};
    uint16_t bytesPerRow[16] = {};
    uint8_t rows[16] = {};
};

// Every tile 16 rows of 64 bytes: 0-3 the 32 x 32 result block, 4-5 the activations, 6-7 the weights.
void configureTiles() {
    TileConfig config;
    for (int t = 0; t < 8; ++t) {
        config.rows[t] = 16;
        config.bytesPerRow[t] = 64;
    }
    _tile_loadconfig(&config);
}

// One row of activations as bfloat16, zero up to `padded` (a multiple of 32).
void rowToBfloat16(const float* x, size_t n, size_t padded, uint16_t* out) {
    for (size_t k = 0; k < padded; k += 32) {
        const size_t left = k < n ? n - k : 0;
        const __mmask16 low = left >= 16 ? 0xFFFF : __mmask16((1u << left) - 1);
        const __mmask16 high = left >= 32 ? 0xFFFF : left > 16 ? __mmask16((1u << (left - 16)) - 1) : 0;
        const __m512 a = _mm512_maskz_loadu_ps(low, x + k);
        const __m512 b = _mm512_maskz_loadu_ps(high, x + k + 16);
        _mm512_storeu_si512(out + k, (__m512i)_mm512_cvtne2ps_pbh(b, a));
    }
}

} // namespace

void amxLinearRows(const float* x, size_t rows, const PackedWeights& W, size_t columnBegin, size_t columnEnd,
                   const float* bias, float* y, bool accumulate, bool gelu) {
    const size_t in = W.in(), out = W.out(), depth = W.paddedIn();
    const size_t paddedRows = (rows + 31) / 32 * 32;
    thread_local std::vector<uint16_t> a;
    if (a.size() < paddedRows * depth)
        a.resize(paddedRows * depth);
    for (size_t r = 0; r < paddedRows; ++r)
        if (r < rows)
            rowToBfloat16(x + r * in, in, depth, a.data() + r * depth);
        else
            std::memset(a.data() + r * depth, 0, depth * sizeof(uint16_t));

    const KernelTable& k = activeKernels();
    alignas(64) float c[32 * 32];
    configureTiles();
    for (size_t n = columnBegin; n < columnEnd; n += 32) {
        const uint16_t* b0 = W.tilePanels() + (n / 16) * depth * 16;
        const uint16_t* b1 = b0 + depth * 16;
        for (size_t m = 0; m < rows; m += 32) {
            const uint16_t* a0 = a.data() + m * depth;
            const uint16_t* a1 = a0 + 16 * depth;
            _tile_zero(0);
            _tile_zero(1);
            _tile_zero(2);
            _tile_zero(3);
            for (size_t kk = 0; kk < depth; kk += 32) {
                _tile_loadd(4, a0 + kk, depth * 2);
                _tile_loadd(5, a1 + kk, depth * 2);
                _tile_loadd(6, b0 + kk * 16, 64);
                _tile_loadd(7, b1 + kk * 16, 64);
                _tile_dpbf16ps(0, 4, 6);
                _tile_dpbf16ps(1, 4, 7);
                _tile_dpbf16ps(2, 5, 6);
                _tile_dpbf16ps(3, 5, 7);
            }
            _tile_stored(0, c, 128);
            _tile_stored(1, c + 16, 128);
            _tile_stored(2, c + 16 * 32, 128);
            _tile_stored(3, c + 16 * 32 + 16, 128);
            const size_t height = std::min<size_t>(32, rows - m), width = std::min<size_t>(32, columnEnd - n);
            for (size_t r = 0; r < height; ++r) {
                float* target = y + (m + r) * out + n;
                const float* sums = c + r * 32;
                for (size_t j = 0; j < width; ++j)
                    target[j] = (accumulate ? target[j] : 0.0f) + sums[j] + (bias ? bias[n + j] : 0.0f);
                if (gelu)
                    k.gelu(target, width);
            }
        }
    }
    // Hands the tile state back, so the thread does not carry it through every later context switch.
    _tile_release();
}

} // namespace ml::kernels
