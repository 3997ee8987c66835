// The matrix products' register tile, written once in the vocabulary of Simd.h and compiled per
// instruction set by TileGemm_<isa>.cpp (each includes it once).

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"

#include <algorithm>

namespace ml::kernels::VELMORA_ISA {
namespace {

// Accumulators fill the register file but for the panel's vectors and one broadcast: 12 x 2 of 32
// zmm registers, 6 x 2 of 16 ymm ones; the scalar fallback keeps a 4 x 4 block.
#if defined(VELMORA_SIMD_AVX512)
constexpr size_t kTileRows = 12, kPanelVectors = 2;
#elif defined(VELMORA_SIMD_AVX2)
constexpr size_t kTileRows = 6, kPanelVectors = 2;
#else
constexpr size_t kTileRows = 4, kPanelVectors = 4;
#endif
constexpr size_t kPanelWidth = kPanelVectors * kWidth;

// One step: the panel's vectors times each of the tile's rows (row r's value at a[r * lda]).
inline void tileStep(vf (&acc)[kTileRows][kPanelVectors], const float* a, size_t lda, const float* b) {
    vf panel[kPanelVectors];
#pragma GCC unroll 4
    for (size_t v = 0; v < kPanelVectors; ++v)
        panel[v] = vload(b + v * kWidth);
#pragma GCC unroll 16
    for (size_t r = 0; r < kTileRows; ++r) {
        const vf x = vset(a[r * lda]);
#pragma GCC unroll 4
        for (size_t v = 0; v < kPanelVectors; ++v)
            acc[r][v] = vfma(x, panel[v], acc[r][v]);
    }
}

void gemmTileBody(size_t depth, const float* a, size_t lda, const float* b, float* c, size_t ldc, bool load) {
    vf acc[kTileRows][kPanelVectors];
#pragma GCC unroll 16
    for (size_t r = 0; r < kTileRows; ++r)
#pragma GCC unroll 4
        for (size_t v = 0; v < kPanelVectors; ++v)
            acc[r][v] = load ? vload(c + r * ldc + v * kWidth) : vset(0.0f);
    // The result rows' addresses are worked out again for the stores: kept from the loads, they would
    // take registers the accumulators need (g++ parks them in vector registers).
    __asm__("" : "+r"(c), "+r"(ldc));
    // A is read where it lies (row r at a + r * lda): the rows stream through L1 as sequentially as a
    // packed copy would, without the copy. Four steps per loop trip keep the loop's own work off the
    // multiply-add ports (written as one unrolled step, which g++ allocates without spilling).
#pragma GCC unroll 4
    for (size_t k = 0; k < depth; ++k, ++a, b += kPanelWidth)
        tileStep(acc, a, lda, b);
#pragma GCC unroll 16
    for (size_t r = 0; r < kTileRows; ++r)
#pragma GCC unroll 4
        for (size_t v = 0; v < kPanelVectors; ++v)
            vstore(c + r * ldc + v * kWidth, acc[r][v]);
}

// The tile over rows packed step-major (gemmPackRows): one pointer walks A, the broadcasts address it at
// fixed offsets, and four steps per loop trip keep the loop's own work off the multiply-add ports (written
// as one unrolled step: g++ allocates that without spilling an accumulator).
void gemmPackedTileBody(size_t depth, const float* a, const float* b, float* c, size_t ldc, bool load) {
    vf acc[kTileRows][kPanelVectors];
#pragma GCC unroll 16
    for (size_t r = 0; r < kTileRows; ++r)
#pragma GCC unroll 4
        for (size_t v = 0; v < kPanelVectors; ++v)
            acc[r][v] = load ? vload(c + r * ldc + v * kWidth) : vset(0.0f);
    // The result rows' addresses are worked out again for the stores: kept from the loads, they would
    // take registers the accumulators need (and g++ parks them in vector registers).
    __asm__("" : "+r"(c), "+r"(ldc));
#pragma GCC unroll 4
    for (size_t k = 0; k < depth; ++k, a += kTileRows, b += kPanelWidth)
        tileStep(acc, a, 1, b);
#pragma GCC unroll 16
    for (size_t r = 0; r < kTileRows; ++r)
#pragma GCC unroll 4
        for (size_t v = 0; v < kPanelVectors; ++v)
            vstore(c + r * ldc + v * kWidth, acc[r][v]);
}

// Packs `rows` (at most kTileRows, row stride ldx) of `depth` inputs step-major for the packed tile:
// packed[k * kTileRows + r]; rows past `rows` are zero.
void gemmPackRowsBody(const float* x, size_t ldx, size_t rows, size_t depth, float* packed) {
    size_t k = 0;
#if defined(VELMORA_SIMD_AVX512)
    static_assert(kTileRows <= 16);
    for (; k < depth; k += 16) {
        const size_t steps = std::min<size_t>(16, depth - k);
        const __mmask16 lanes = __mmask16((1u << steps) - 1);
        __m512 r[16];
#pragma GCC unroll 16
        for (size_t i = 0; i < 16; ++i)
            r[i] = i < rows ? _mm512_maskz_loadu_ps(lanes, x + i * ldx + k) : _mm512_setzero_ps();
        transpose16(r);
        // Output j, lane i: input row i, step k + j; the first kTileRows lanes are the step's values.
        constexpr __mmask16 kept = __mmask16((1u << kTileRows) - 1);
        for (size_t j = 0; j < steps; ++j)
            _mm512_mask_storeu_ps(packed + (k + j) * kTileRows, kept, r[j]);
    }
#else
    for (; k < depth; ++k)
        for (size_t r = 0; r < kTileRows; ++r)
            packed[k * kTileRows + r] = r < rows ? x[r * ldx + k] : 0.0f;
#endif
}

void fillTileGemm(KernelTable& table) {
    table.gemmTileRows = kTileRows;
    table.gemmPanelWidth = kPanelWidth;
    table.gemmTile = gemmTileBody;
    table.gemmPackRows = gemmPackRowsBody;
    table.gemmPackedTile = gemmPackedTileBody;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
