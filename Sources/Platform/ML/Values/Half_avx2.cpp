#include <immintrin.h>

#include "Platform/ML/Values/Half.h"

namespace ml::detail {

void halfToFloatF16C(const Float16* source, float* destination, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i halves = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        _mm256_storeu_ps(destination + i, _mm256_cvtph_ps(halves));
    }
    for (; i < n; ++i) {
        destination[i] = static_cast<float>(source[i]);
    }
}

void floatToHalfF16C(const float* source, Float16* destination, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i halves = _mm256_cvtps_ph(_mm256_loadu_ps(source + i), _MM_FROUND_TO_NEAREST_INT);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), halves);
    }
    for (; i < n; ++i) {
        destination[i] = static_cast<Float16>(source[i]);
    }
}

} // namespace ml::detail
