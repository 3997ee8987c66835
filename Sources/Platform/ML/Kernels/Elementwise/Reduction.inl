// Search kernels over one row of floats (the decoder's logits at every step), written once in the
// vocabulary of Simd.h and compiled per instruction set by Reduction_<isa>.cpp. NaN entries never
// compare above or at a threshold, so they are skipped by every search here.

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"

namespace ml::kernels::VELMORA_ISA {
namespace {

// Lane masks of a > b and a >= b (ordered comparisons: false for NaN), lowest lane in bit 0.
#if defined(VELMORA_SIMD_AVX512)
inline uint32_t maskAbove(vf a, vf b) {
    return _mm512_cmp_ps_mask(a, b, _CMP_GT_OQ);
}
inline uint32_t maskAtLeast(vf a, vf b) {
    return _mm512_cmp_ps_mask(a, b, _CMP_GE_OQ);
}
inline uint32_t maskUnordered(vf a) {
    return _mm512_cmp_ps_mask(a, a, _CMP_UNORD_Q);
}
#elif defined(VELMORA_SIMD_AVX2)
inline uint32_t maskAbove(vf a, vf b) {
    return uint32_t(_mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GT_OQ)));
}
inline uint32_t maskAtLeast(vf a, vf b) {
    return uint32_t(_mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GE_OQ)));
}
inline uint32_t maskUnordered(vf a) {
    return uint32_t(_mm256_movemask_ps(_mm256_cmp_ps(a, a, _CMP_UNORD_Q)));
}
#else
inline uint32_t maskAbove(vf a, vf b) {
    return a > b ? 1u : 0u;
}
inline uint32_t maskAtLeast(vf a, vf b) {
    return a >= b ? 1u : 0u;
}
inline uint32_t maskUnordered(vf a) {
    return a != a ? 1u : 0u;
}
#endif

float maxIgnoringNaNRow(const float* x, size_t n) {
    // vmax(x, acc) keeps acc where x is NaN, on every variant.
    vf acc = vset(-INFINITY);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        acc = vmax(vload(x + i), acc);
    float best = vhmax(acc);
    for (; i < n; ++i)
        best = x[i] > best ? x[i] : best;
    return best;
}

bool anyNaNRow(const float* x, size_t n) {
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        if (maskUnordered(vload(x + i)))
            return true;
    for (; i < n; ++i)
        if (x[i] != x[i])
            return true;
    return false;
}

size_t firstAboveRow(const float* x, size_t n, float threshold) {
    const vf t = vset(threshold);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        if (uint32_t mask = maskAbove(vload(x + i), t))
            return i + size_t(__builtin_ctz(mask));
    for (; i < n; ++i)
        if (x[i] > threshold)
            return i;
    return n;
}

size_t firstAtLeastRow(const float* x, size_t n, float threshold) {
    const vf t = vset(threshold);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        if (uint32_t mask = maskAtLeast(vload(x + i), t))
            return i + size_t(__builtin_ctz(mask));
    for (; i < n; ++i)
        if (x[i] >= threshold)
            return i;
    return n;
}

void fillReduction(KernelTable& table) {
    table.maxIgnoringNaN = maxIgnoringNaNRow;
    table.anyNaN = anyNaNRow;
    table.firstAbove = firstAboveRow;
    table.firstAtLeast = firstAtLeastRow;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
