#pragma once
// The vector vocabulary that the kernel bodies (*.inl) are written in. Each kernel file includes it
// compiled for one instruction set (its name says which), so one body serves AVX-512, AVX2 and
// the portable fallback. Everything lands in a namespace named after the instruction set and in an
// anonymous namespace: copies built with different flags must never be merged by the linker.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The including file names its instruction set (VELMORA_ISA_AVX512, VELMORA_ISA_AVX2 or neither), so the
// generic file stays scalar even when the whole build is compiled for a newer processor.
#if defined(VELMORA_ISA_AVX512)
#if !defined(__AVX512F__) || !defined(__F16C__)
#error "an AVX-512 kernel file must be compiled with AVX-512 and F16C enabled"
#endif
#define VELMORA_ISA avx512
#define VELMORA_SIMD_AVX2 1
#define VELMORA_SIMD_AVX512 1
#elif defined(VELMORA_ISA_AVX2)
#if !defined(__AVX2__) || !defined(__FMA__) || !defined(__F16C__)
#error "an AVX2 kernel file must be compiled with AVX2, FMA and F16C enabled"
#endif
#define VELMORA_ISA avx2
#define VELMORA_SIMD_AVX2 1
#else
#define VELMORA_ISA generic
#endif

#if defined(VELMORA_SIMD_AVX2)
#include <immintrin.h>
#endif
#if defined(VELMORA_SIMD_AVX512) && defined(__GNUC__) && !defined(__clang__)
// g++ 12's AVX-512 headers start from deliberately undefined vectors and warn about them.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace ml::kernels::VELMORA_ISA {
namespace {

// IEEE half <-> float, round to nearest even; the scalar path every variant uses for tails.
inline float halfBitsToFloat(uint16_t h) {
    uint32_t sign = uint32_t(h & 0x8000) << 16;
    uint32_t exponent = (h >> 10) & 0x1F;
    uint32_t mantissa = h & 0x3FF;
    uint32_t bits;
    if (exponent == 0x1F) {
        bits = sign | 0x7F800000 | (mantissa << 13);
    } else if (exponent != 0) {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        bits = sign;
    } else {
        // Subnormal half: normalise into a float.
        int shift = 0;
        while ((mantissa & 0x400) == 0) {
            mantissa <<= 1;
            ++shift;
        }
        bits = sign | (uint32_t(113 - shift) << 23) | ((mantissa & 0x3FF) << 13);
    }
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

inline uint16_t floatToHalfBits(float f) {
    uint32_t x;
    std::memcpy(&x, &f, 4);
    uint16_t sign = uint16_t((x >> 16) & 0x8000);
    uint32_t absx = x & 0x7FFFFFFF;
    if (absx >= 0x7F800000) // inf or NaN (keep NaN quiet and non-zero)
        return uint16_t(sign | 0x7C00 | (absx > 0x7F800000 ? 0x200 | ((absx >> 13) & 0x3FF) : 0));
    if (absx >= 0x477FF000) // rounds to beyond the largest half
        return uint16_t(sign | 0x7C00);
    if (absx < 0x38800000) { // result is subnormal or zero
        if (absx < 0x33000000)
            return sign;
        uint32_t mantissa = (absx & 0x7FFFFF) | 0x800000;
        int shift = 113 - int(absx >> 23) + 13;
        uint32_t half = mantissa >> shift;
        uint32_t rest = mantissa & ((1u << shift) - 1);
        uint32_t midpoint = 1u << (shift - 1);
        if (rest > midpoint || (rest == midpoint && (half & 1)))
            ++half;
        return uint16_t(sign | half);
    }
    uint32_t half = ((absx >> 13) - (112u << 10));
    uint32_t rest = absx & 0x1FFF;
    if (rest > 0x1000 || (rest == 0x1000 && (half & 1)))
        ++half;
    return uint16_t(sign | half);
}

inline float scalarGelu(float x) {
    return 0.5f * x * (1.0f + std::erf(x * 0.70710678118654752f));
}

#if defined(VELMORA_SIMD_AVX512)

using vf = __m512;
constexpr size_t kWidth = 16;
inline vf vload(const float* p) {
    return _mm512_loadu_ps(p);
}
inline void vstore(float* p, vf v) {
    _mm512_storeu_ps(p, v);
}
inline vf vloadHalf(const uint16_t* p) {
    return _mm512_cvtph_ps(_mm256_loadu_si256((const __m256i*)p));
}
inline void vstoreHalf(uint16_t* p, vf v) {
    _mm256_storeu_si256((__m256i*)p, _mm512_cvtps_ph(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
}
inline vf vset(float x) {
    return _mm512_set1_ps(x);
}
inline vf vadd(vf a, vf b) {
    return _mm512_add_ps(a, b);
}
inline vf vsub(vf a, vf b) {
    return _mm512_sub_ps(a, b);
}
inline vf vmul(vf a, vf b) {
    return _mm512_mul_ps(a, b);
}
inline vf vdiv(vf a, vf b) {
    return _mm512_div_ps(a, b);
}
inline vf vfma(vf a, vf b, vf c) {
    return _mm512_fmadd_ps(a, b, c);
}
inline vf vmax(vf a, vf b) {
    return _mm512_max_ps(a, b);
}
inline vf vmin(vf a, vf b) {
    return _mm512_min_ps(a, b);
}
inline vf vabs(vf a) {
    return _mm512_abs_ps(a);
}
inline vf vcopysign(vf magnitude, vf sign) {
    const __m512i s = _mm512_set1_epi32(int(0x80000000));
    return _mm512_castsi512_ps(_mm512_or_si512(_mm512_andnot_si512(s, _mm512_castps_si512(magnitude)),
                                               _mm512_and_si512(s, _mm512_castps_si512(sign))));
}
inline vf vround(vf a) {
    return _mm512_roundscale_ps(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}
inline vf vscale2(vf a, vf n) {
    return _mm512_scalef_ps(a, n);
} // a * 2^n
inline vf vzeroBelow(vf a, vf x, float limit) {
    return _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(x, vset(limit), _CMP_GE_OQ), a);
}
inline float vsum(vf a) {
    return _mm512_reduce_add_ps(a);
}
inline float vhmax(vf a) {
    return _mm512_reduce_max_ps(a);
}

// 16 rows of 16 floats (or of any 32-bit elements) transposed in registers: four rounds of shuffles,
// each pairing elements, then pairs, then 128-bit lanes twice.
inline void transpose16(__m512 (&r)[16]) {
    __m512 t[16];
#pragma GCC unroll 8
    for (int i = 0; i < 16; i += 2) {
        t[i] = _mm512_unpacklo_ps(r[i], r[i + 1]);
        t[i + 1] = _mm512_unpackhi_ps(r[i], r[i + 1]);
    }
#pragma GCC unroll 4
    for (int i = 0; i < 16; i += 4) {
        r[i] = _mm512_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(1, 0, 1, 0));
        r[i + 1] = _mm512_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(3, 2, 3, 2));
        r[i + 2] = _mm512_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(1, 0, 1, 0));
        r[i + 3] = _mm512_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(3, 2, 3, 2));
    }
#pragma GCC unroll 2
    for (int i = 0; i < 16; i += 8) {
#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j) {
            t[i + j] = _mm512_shuffle_f32x4(r[i + j], r[i + j + 4], 0x88);
            t[i + j + 4] = _mm512_shuffle_f32x4(r[i + j], r[i + j + 4], 0xdd);
        }
    }
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        r[j] = _mm512_shuffle_f32x4(t[j], t[j + 8], 0x88);
        r[j + 8] = _mm512_shuffle_f32x4(t[j], t[j + 8], 0xdd);
    }
}

#elif defined(VELMORA_SIMD_AVX2)

using vf = __m256;
constexpr size_t kWidth = 8;
inline vf vload(const float* p) {
    return _mm256_loadu_ps(p);
}
inline void vstore(float* p, vf v) {
    _mm256_storeu_ps(p, v);
}
inline vf vloadHalf(const uint16_t* p) {
    return _mm256_cvtph_ps(_mm_loadu_si128((const __m128i*)p));
}
inline void vstoreHalf(uint16_t* p, vf v) {
    _mm_storeu_si128((__m128i*)p, _mm256_cvtps_ph(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
}
inline vf vset(float x) {
    return _mm256_set1_ps(x);
}
inline vf vadd(vf a, vf b) {
    return _mm256_add_ps(a, b);
}
inline vf vsub(vf a, vf b) {
    return _mm256_sub_ps(a, b);
}
inline vf vmul(vf a, vf b) {
    return _mm256_mul_ps(a, b);
}
inline vf vdiv(vf a, vf b) {
    return _mm256_div_ps(a, b);
}
inline vf vfma(vf a, vf b, vf c) {
    return _mm256_fmadd_ps(a, b, c);
}
inline vf vmax(vf a, vf b) {
    return _mm256_max_ps(a, b);
}
inline vf vmin(vf a, vf b) {
    return _mm256_min_ps(a, b);
}
inline vf vabs(vf a) {
    return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a);
}
inline vf vcopysign(vf magnitude, vf sign) {
    const vf s = _mm256_set1_ps(-0.0f);
    return _mm256_or_ps(_mm256_andnot_ps(s, magnitude), _mm256_and_ps(s, sign));
}
inline vf vround(vf a) {
    return _mm256_round_ps(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}
inline vf vscale2(vf a, vf n) { // n is integral and within the normal exponent range here
    __m256i e = _mm256_slli_epi32(_mm256_add_epi32(_mm256_cvtps_epi32(n), _mm256_set1_epi32(127)), 23);
    return _mm256_mul_ps(a, _mm256_castsi256_ps(e));
}
inline vf vzeroBelow(vf a, vf x, float limit) {
    return _mm256_and_ps(a, _mm256_cmp_ps(x, vset(limit), _CMP_GE_OQ));
}
inline float vsum(vf a) {
    __m128 s = _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
    s = _mm_add_ps(s, _mm_movehl_ps(s, s));
    s = _mm_add_ss(s, _mm_movehdup_ps(s));
    return _mm_cvtss_f32(s);
}
inline float vhmax(vf a) {
    __m128 s = _mm_max_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
    s = _mm_max_ps(s, _mm_movehl_ps(s, s));
    s = _mm_max_ss(s, _mm_movehdup_ps(s));
    return _mm_cvtss_f32(s);
}

#else

// The portable fallback is scalar: one lane, the standard library's exp and erf.
using vf = float;
constexpr size_t kWidth = 1;
inline vf vload(const float* p) {
    return *p;
}
inline void vstore(float* p, vf v) {
    *p = v;
}
inline vf vloadHalf(const uint16_t* p) {
    return halfBitsToFloat(*p);
}
inline void vstoreHalf(uint16_t* p, vf v) {
    *p = floatToHalfBits(v);
}
inline vf vset(float x) {
    return x;
}
inline vf vadd(vf a, vf b) {
    return a + b;
}
inline vf vsub(vf a, vf b) {
    return a - b;
}
inline vf vmul(vf a, vf b) {
    return a * b;
}
inline vf vdiv(vf a, vf b) {
    return a / b;
}
inline vf vfma(vf a, vf b, vf c) {
    return a * b + c;
}
inline vf vmax(vf a, vf b) {
    return a > b ? a : b;
}
inline vf vmin(vf a, vf b) {
    return a < b ? a : b;
}
inline float vsum(vf a) {
    return a;
}
inline float vhmax(vf a) {
    return a;
}

#endif

#if defined(VELMORA_SIMD_AVX2)
// exp by range reduction to [-ln2/2, ln2/2] and a degree-6 polynomial (relative error ~2e-7).
// Inputs below the float range give exactly 0, so a masked (-inf) score vanishes.
inline vf vexp(vf x) {
    vf xc = vmin(vmax(x, vset(-87.3f)), vset(88.7f));
    vf n = vround(vmul(xc, vset(1.44269504088896341f)));
    vf r = vfma(n, vset(-0.693145751953125f), xc);
    r = vfma(n, vset(-1.428606765330187045e-06f), r);
    vf p = vset(1.0f / 720.0f);
    p = vfma(p, r, vset(1.0f / 120.0f));
    p = vfma(p, r, vset(1.0f / 24.0f));
    p = vfma(p, r, vset(1.0f / 6.0f));
    p = vfma(p, r, vset(0.5f));
    p = vfma(p, r, vset(1.0f));
    p = vfma(p, r, vset(1.0f));
    return vzeroBelow(vscale2(p, n), x, -87.3f);
}

// erf with the Abramowitz-Stegun 7.1.26 rational form (absolute error below 1.5e-7).
inline vf verf(vf x) {
    vf a = vabs(x);
    vf t = vdiv(vset(1.0f), vfma(vset(0.3275911f), a, vset(1.0f)));
    vf p = vset(1.061405429f);
    p = vfma(p, t, vset(-1.453152027f));
    p = vfma(p, t, vset(1.421413741f));
    p = vfma(p, t, vset(-0.284496736f));
    p = vfma(p, t, vset(0.254829592f));
    p = vmul(p, t);
    vf y = vsub(vset(1.0f), vmul(p, vexp(vmul(vmul(a, a), vset(-1.0f)))));
    return vcopysign(y, x);
}
#else
inline vf vexp(vf x) {
    return std::exp(x);
}
inline vf verf(vf x) {
    return std::erf(x);
}
#endif

// Asks for the cache line at p ahead of its use. Streaming half weights at one core's share of the memory
// bandwidth needs more lines in flight than the out-of-order window keeps (each line is several
// conversions and multiply-adds); a hint never faults, so it may point past the end of the data.
inline void prefetch(const void* p) {
    __builtin_prefetch(p, 0, 3);
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
