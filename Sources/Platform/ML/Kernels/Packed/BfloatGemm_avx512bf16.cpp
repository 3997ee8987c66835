// The bfloat16 register tile and its packing, compiled for AVX-512 BF16.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/Packed/BfloatGemm.h"
#include "Platform/ML/Kernels/Simd.h"

#include <algorithm>
#include <immintrin.h>

namespace ml::kernels {
namespace {

using avx512::transpose16;

constexpr size_t kRows = kBfloatTileRows;

// One pair step: the panel's two vectors (16 columns' pairs each) times each row's broadcast pair. The
// broadcast is folded into the dot product's memory operand.
inline void pairStep(__m512 (&acc)[kRows][2], const uint32_t* a, const uint16_t* b) {
    const __m512bh w0 = (__m512bh)_mm512_loadu_si512(b), w1 = (__m512bh)_mm512_loadu_si512(b + 32);
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r) {
        const __m512bh x = (__m512bh)_mm512_set1_epi32(int(a[r]));
        acc[r][0] = _mm512_dpbf16_ps(acc[r][0], x, w0);
        acc[r][1] = _mm512_dpbf16_ps(acc[r][1], x, w1);
    }
}

} // namespace

void bfloatPackedTile(size_t pairs, const uint32_t* a, const uint16_t* b, float* c, size_t ldc, bool load) {
    __m512 acc[kRows][2];
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r)
#pragma GCC unroll 2
        for (size_t v = 0; v < 2; ++v)
            acc[r][v] = load ? _mm512_loadu_ps(c + r * ldc + v * 16) : _mm512_setzero_ps();
    // As the float32 tile: the result rows' addresses are worked out again for the stores, so they take
    // no registers the accumulators need, and four steps per loop trip keep the loop's own work small.
    __asm__("" : "+r"(c), "+r"(ldc));
#pragma GCC unroll 4
    for (size_t p = 0; p < pairs; ++p, a += kRows, b += 64)
        pairStep(acc, a, b);
#pragma GCC unroll 16
    for (size_t r = 0; r < kRows; ++r)
#pragma GCC unroll 2
        for (size_t v = 0; v < 2; ++v)
            _mm512_storeu_ps(c + r * ldc + v * 16, acc[r][v]);
}

void bfloatPackRows(const float* x, size_t ldx, size_t rows, size_t depth, uint32_t* packed) {
    static_assert(kRows <= 16);
    // 32 inputs (16 pairs) of up to 16 rows at a time: each row rounded to bfloat16 pairs in one vector,
    // then the 16 x 16 pairs transposed, so each output vector is one pair step of every row.
    for (size_t k = 0; k < depth; k += 32) {
        const size_t left = std::min<size_t>(32, depth - k), pairs = (left + 1) / 2;
        const __mmask16 low = left >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << left) - 1);
        const __mmask16 high = left >= 32  ? __mmask16(0xFFFF)
                               : left > 16 ? __mmask16((1u << (left - 16)) - 1)
                                           : 0;
        __m512 r[16];
#pragma GCC unroll 16
        for (size_t i = 0; i < 16; ++i) {
            if (i < rows) {
                const __m512 a = _mm512_maskz_loadu_ps(low, x + i * ldx + k);
                const __m512 b = _mm512_maskz_loadu_ps(high, x + i * ldx + k + 16);
                r[i] = _mm512_castsi512_ps((__m512i)_mm512_cvtne2ps_pbh(b, a));
            } else {
                r[i] = _mm512_setzero_ps();
            }
        }
        transpose16(r);
        constexpr __mmask16 kept = __mmask16((1u << kRows) - 1);
        for (size_t j = 0; j < pairs; ++j)
            _mm512_mask_storeu_ps(reinterpret_cast<float*>(packed + (k / 2 + j) * kRows), kept, r[j]);
    }
}

} // namespace ml::kernels
