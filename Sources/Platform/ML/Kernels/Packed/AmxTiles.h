#pragma once
// Shared by the files compiled for the matrix tiles (*_amx.cpp) only: the tile configuration and the
// conversion of float rows into bfloat16 operand tiles.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <immintrin.h>

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace ml::kernels::amx {
namespace {

/// Elements of one operand tile: 16 rows of 32 bfloat16.
constexpr size_t kTileElements = 16 * 32;

struct TileConfig {
    uint8_t palette = 1;
    uint8_t startRow = 0;
    uint8_t reserved[14] = {};
    uint16_t bytesPerRow[16] = {};
    uint8_t rows[16] = {};
};

/// Every tile 16 rows of 64 bytes: 0-3 a 32 x 32 block of sums, 4-5 the left operands, 6-7 the right ones.
inline void configureTiles() {
    TileConfig config;
    for (int t = 0; t < 8; ++t) {
        config.rows[t] = 16;
        config.bytesPerRow[t] = 64;
    }
    _tile_loadconfig(&config);
}

/// One row of floats as bfloat16 in tile order: for each block of 32 values, the row's 64 bytes at
/// `out + block * blockStride` (zero past n).
inline void rowToBfloat16(const float* x, size_t n, size_t blocks, size_t blockStride, uint16_t* out) {
    for (size_t block = 0; block < blocks; ++block) {
        const size_t k = block * 32, left = k < n ? n - k : 0;
        const __mmask16 low = left >= 16 ? 0xFFFF : __mmask16((1u << left) - 1);
        const __mmask16 high = left >= 32 ? 0xFFFF : left > 16 ? __mmask16((1u << (left - 16)) - 1) : 0;
        const __m512 a = _mm512_maskz_loadu_ps(low, x + k);
        const __m512 b = _mm512_maskz_loadu_ps(high, x + k + 16);
        _mm512_storeu_si512(out + block * blockStride, (__m512i)_mm512_cvtne2ps_pbh(b, a));
    }
}

/// float -> bfloat16 bits, round to nearest even, for scattered single values (finite ones: activations).
inline uint16_t toBfloat16(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return uint16_t((bits + 0x7FFF + ((bits >> 16) & 1)) >> 16);
}

} // namespace
} // namespace ml::kernels::amx
