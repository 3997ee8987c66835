// Kernel bodies over 8-bit weights, compiled per instruction set by Int8Kernels_<isa>.cpp (each includes it
// once). The decoder's per-token products multiply the 8-bit rows with activations quantised to 16 bits
// and sum in integers, exactly, so every variant gives the same result bit for bit; the encoder's products
// widen a slice of an 8-bit panel to floats or to bfloat16 pairs. With VELMORA_INT8_VNNI the AVX-512 body multiplies and adds
// in one instruction (vpdpwssd).

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace ml::kernels::VELMORA_ISA {
namespace {

// Integer sums are taken in blocks of this many inputs and then widened: a 32-bit lane gathers at most
// 2048 products of |q| <= 128 and |x| <= 32767 (far from overflowing).
constexpr size_t kIntegerBlock = 2048;
constexpr float kActivationRange = 32767.0f;

// The float steps every variant takes after the integer sum, in the same order.
inline float scaledDot(int64_t dot, float rowScale, float xScale) {
    return float(dot) * rowScale * xScale;
}

#if defined(VELMORA_SIMD_AVX512)

inline __m512i multiplyAdd(__m512i sum, __m512i weights, __m512i x) {
#if defined(VELMORA_INT8_VNNI)
    return _mm512_dpwssd_epi32(sum, weights, x);
#else
    return _mm512_add_epi32(sum, _mm512_madd_epi16(weights, x));
#endif
}

inline __m512i widenBytes(const int8_t* p) {
    return _mm512_cvtepi8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

inline int64_t laneSum(__m512i v) {
    const __m512i low = _mm512_cvtepi32_epi64(_mm512_castsi512_si256(v));
    const __m512i high = _mm512_cvtepi32_epi64(_mm512_extracti64x4_epi64(v, 1));
    return _mm512_reduce_add_epi64(_mm512_add_epi64(low, high));
}

int64_t int8Dot(const int8_t* w, const int16_t* x, size_t n) {
    int64_t total = 0;
    size_t i = 0;
    for (size_t block = 0; block < n; block += kIntegerBlock) {
        const size_t end = std::min(n, block + kIntegerBlock);
        __m512i a0 = _mm512_setzero_si512(), a1 = a0, a2 = a0, a3 = a0;
        for (; i + 128 <= end; i += 128) {
            prefetch(reinterpret_cast<const char*>(w + i) + 1024);
            prefetch(reinterpret_cast<const char*>(w + i) + 1024 + 64);
            a0 = multiplyAdd(a0, widenBytes(w + i), _mm512_loadu_si512(x + i));
            a1 = multiplyAdd(a1, widenBytes(w + i + 32), _mm512_loadu_si512(x + i + 32));
            a2 = multiplyAdd(a2, widenBytes(w + i + 64), _mm512_loadu_si512(x + i + 64));
            a3 = multiplyAdd(a3, widenBytes(w + i + 96), _mm512_loadu_si512(x + i + 96));
        }
        for (; i + 32 <= end; i += 32)
            a0 = multiplyAdd(a0, widenBytes(w + i), _mm512_loadu_si512(x + i));
        total += laneSum(a0) + laneSum(a1) + laneSum(a2) + laneSum(a3);
        for (; i < end; ++i)
            total += int64_t(w[i]) * x[i];
    }
    return total;
}

#elif defined(VELMORA_SIMD_AVX2)

inline int64_t laneSum(__m256i v) {
    const __m256i wide = _mm256_add_epi64(_mm256_cvtepi32_epi64(_mm256_castsi256_si128(v)),
                                          _mm256_cvtepi32_epi64(_mm256_extracti128_si256(v, 1)));
    const __m128i pair = _mm_add_epi64(_mm256_castsi256_si128(wide), _mm256_extracti128_si256(wide, 1));
    return _mm_cvtsi128_si64(pair) + _mm_extract_epi64(pair, 1);
}

int64_t int8Dot(const int8_t* w, const int16_t* x, size_t n) {
    int64_t total = 0;
    size_t i = 0;
    for (size_t block = 0; block < n; block += kIntegerBlock) {
        const size_t end = std::min(n, block + kIntegerBlock);
        __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0;
        auto step = [&](__m256i& sum, size_t at) {
            const __m256i weights =
                _mm256_cvtepi8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + at)));
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(weights, _mm256_loadu_si256(
                                                                       reinterpret_cast<const __m256i*>(x + at))));
        };
        for (; i + 64 <= end; i += 64) {
            prefetch(reinterpret_cast<const char*>(w + i) + 1024);
            step(a0, i);
            step(a1, i + 16);
            step(a2, i + 32);
            step(a3, i + 48);
        }
        for (; i + 16 <= end; i += 16)
            step(a0, i);
        total += laneSum(a0) + laneSum(a1) + laneSum(a2) + laneSum(a3);
        for (; i < end; ++i)
            total += int64_t(w[i]) * x[i];
    }
    return total;
}

#else

int64_t int8Dot(const int8_t* w, const int16_t* x, size_t n) {
    int64_t total = 0;
    for (size_t i = 0; i < n; ++i)
        total += int64_t(w[i]) * x[i];
    return total;
}

#endif

void int8GemvRows(const int8_t* w, size_t ldw, const float* scales, const int16_t* x, float xScale, size_t in,
                  float* y, size_t rows) {
    for (size_t r = 0; r < rows; ++r)
        y[r] = scaledDot(int8Dot(w + r * ldw, x, in), scales[r], xScale);
}

float quantizeInt16(const float* x, size_t n, int16_t* q) {
    // One pass for the largest magnitude and for whether all are finite (x * 0 is NaN for NaN and infinities).
    size_t i = 0;
    float largest = 0.0f, poison = 0.0f;
#if defined(VELMORA_SIMD_AVX2)
    vf big = vset(0.0f), check = vset(0.0f);
    const vf zero = vset(0.0f);
    for (; i + kWidth <= n; i += kWidth) {
        const vf v = vload(x + i);
        big = vmax(big, vabs(v));
        check = vfma(v, zero, check);
    }
    alignas(64) float lanes[kWidth], checks[kWidth];
    vstore(lanes, big);
    vstore(checks, check);
    for (size_t lane = 0; lane < kWidth; ++lane) {
        largest = std::max(largest, lanes[lane]);
        poison += checks[lane];
    }
#endif
    for (; i < n; ++i) {
        largest = std::max(largest, std::fabs(x[i]));
        poison += x[i] * 0.0f;
    }
    if (poison != 0.0f || largest < FLT_MIN * kActivationRange) {
        // All zeros, or so small that the scale would be subnormal and its inverse could overflow: zeros.
        // NaN or infinities: no integer form; the products come out NaN.
        std::fill(q, q + n, int16_t(0));
        return poison != 0.0f ? NAN : 0.0f;
    }
    const float inverse = kActivationRange / largest;
    i = 0;
#if defined(VELMORA_SIMD_AVX512)
    const vf factor = vset(inverse);
    for (; i + kWidth <= n; i += kWidth)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + i),
                            _mm512_cvtsepi32_epi16(_mm512_cvtps_epi32(vmul(vload(x + i), factor))));
#elif defined(VELMORA_SIMD_AVX2)
    const vf factor = vset(inverse);
    for (; i + 2 * kWidth <= n; i += 2 * kWidth) {
        const __m256i low = _mm256_cvtps_epi32(vmul(vload(x + i), factor));
        const __m256i high = _mm256_cvtps_epi32(vmul(vload(x + i + kWidth), factor));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + i),
                            _mm256_permute4x64_epi64(_mm256_packs_epi32(low, high), 0xD8));
    }
#endif
    for (; i < n; ++i)
        q[i] = int16_t(std::nearbyint(x[i] * inverse));
    return largest / kActivationRange;
}

void int8WidenPanel(const int8_t* q, const float* scales, size_t width, size_t depth, float* out) {
    for (size_t k = 0; k < depth; ++k) {
        const int8_t* row = q + k * width;
        float* target = out + k * width;
        size_t j = 0;
#if defined(VELMORA_SIMD_AVX512)
        for (; j + kWidth <= width; j += kWidth) {
            const __m512i values = _mm512_cvtepi8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + j)));
            vstore(target + j, vmul(_mm512_cvtepi32_ps(values), vload(scales + j)));
        }
#elif defined(VELMORA_SIMD_AVX2)
        for (; j + kWidth <= width; j += kWidth) {
            const __m256i values = _mm256_cvtepi8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + j)));
            vstore(target + j, vmul(_mm256_cvtepi32_ps(values), vload(scales + j)));
        }
#endif
        for (; j < width; ++j)
            target[j] = float(row[j]) * scales[j];
    }
}

// float -> bfloat16 bits, round to nearest even, for the finite products of 8-bit weights and scales.
inline uint16_t roundToBfloat16(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return uint16_t((bits + 0x7FFF + ((bits >> 16) & 1)) >> 16);
}

void int8WidenBfloat16(const int8_t* q, const float* pairScales, size_t rows, uint16_t* out) {
    constexpr size_t kRow = 64;
    for (size_t r = 0; r < rows; ++r) {
        const int8_t* row = q + r * kRow;
        uint16_t* target = out + r * kRow;
        size_t e = 0;
#if defined(VELMORA_SIMD_AVX512)
        const __m512i one = _mm512_set1_epi32(1), half = _mm512_set1_epi32(0x7FFF);
        for (; e < kRow; e += 16) {
            const __m512 v = _mm512_mul_ps(
                _mm512_cvtepi32_ps(_mm512_cvtepi8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + e)))),
                _mm512_loadu_ps(pairScales + e));
            __m512i bits = _mm512_castps_si512(v);
            bits = _mm512_add_epi32(bits, _mm512_add_epi32(half, _mm512_and_si512(_mm512_srli_epi32(bits, 16), one)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + e), _mm512_cvtepi32_epi16(_mm512_srli_epi32(bits, 16)));
        }
#elif defined(VELMORA_SIMD_AVX2)
        const __m256i one = _mm256_set1_epi32(1), half = _mm256_set1_epi32(0x7FFF);
        auto rounded = [&](size_t at) {
            const __m256 v = _mm256_mul_ps(
                _mm256_cvtepi32_ps(_mm256_cvtepi8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + at)))),
                _mm256_loadu_ps(pairScales + at));
            __m256i bits = _mm256_castps_si256(v);
            bits = _mm256_add_epi32(bits, _mm256_add_epi32(half, _mm256_and_si256(_mm256_srli_epi32(bits, 16), one)));
            return _mm256_srli_epi32(bits, 16);
        };
        for (; e < kRow; e += 16)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + e),
                                _mm256_permute4x64_epi64(_mm256_packus_epi32(rounded(e), rounded(e + 8)), 0xD8));
#endif
        for (; e < kRow; ++e)
            target[e] = roundToBfloat16(float(row[e]) * pairScales[e]);
    }
}

void fillInt8Kernels(KernelTable& table) {
    table.int8Gemv = int8GemvRows;
    table.quantizeInt16 = quantizeInt16;
    table.int8WidenPanel = int8WidenPanel;
    table.int8WidenBfloat16 = int8WidenBfloat16;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
