// The online soft-max shared by the attention kernels, written in the vocabulary of Simd.h: a tile of
// query rows meets the keys a block at a time, each row keeping its running maximum and sum; scores are in
// base 2 (the keys come scaled by log2 e), so the exponential is a bare 2^x. Included once by each kernel
// file, after Simd.h.

#include "Platform/ML/Kernels/Attention/AttentionBlock.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace ml::kernels::VELMORA_ISA {
namespace {

// What hidden scores become (finite, so differences stay defined; 2^(hidden - anything seen) is 0).
constexpr float kHidden = -1e30f;
constexpr float kLog2e = 1.44269504088896341f;
// 2^x for x <= 0: x = n + r with |r| <= 1/2, a degree-5 minimax polynomial for 2^r (relative error
// 2.4e-7 in float) scaled by 2^n. Anything far below the float range gives exactly 0.
#if defined(VELMORA_SIMD_AVX2)
inline vf vexp2(vf x) {
#if !defined(VELMORA_SIMD_AVX512)
    x = vmax(x, vset(-127.0f)); // n = -127 makes exponent bits 0 below: exactly 0 (scalef needs no floor)
#endif
    const vf n = vround(x), r = vsub(x, n);
    vf p = vset(1.327647245e-03f);
    p = vfma(p, r, vset(9.675540961e-03f));
    p = vfma(p, r, vset(5.550713092e-02f));
    p = vfma(p, r, vset(2.402212024e-01f));
    p = vfma(p, r, vset(6.931469440e-01f));
    p = vfma(p, r, vset(1.000000119e+00f));
    return vscale2(p, n);
}
#else
inline vf vexp2(vf x) {
    return std::exp2(x);
}
#endif

// One row of a block's scores, n a multiple of kWidth: the largest.
inline float blockMax(const float* row, size_t n) {
    vf m0 = vset(kHidden), m1 = vset(kHidden);
    size_t j = 0;
    for (; j + 2 * kWidth <= n; j += 2 * kWidth) {
        m0 = vmax(m0, vload(row + j));
        m1 = vmax(m1, vload(row + j + kWidth));
    }
    if (j < n)
        m0 = vmax(m0, vload(row + j));
    return vhmax(vmax(m0, m1));
}

// row[j] = 2^(row[j] - shift) over n (a multiple of kWidth); their sum is added to *total (a vector of
// partial sums, first rescaled), so no row is reduced to one number before the tile's end.
inline void exp2Shifted(float* row, size_t n, float shift, float rescale, float* total) {
    const vf s = vset(shift);
    vf sum0 = vmul(vload(total), vset(rescale)), sum1 = vset(0.0f);
    size_t j = 0;
    for (; j + 2 * kWidth <= n; j += 2 * kWidth) {
        const vf e0 = vexp2(vsub(vload(row + j), s)), e1 = vexp2(vsub(vload(row + j + kWidth), s));
        vstore(row + j, e0);
        vstore(row + j + kWidth, e1);
        sum0 = vadd(sum0, e0);
        sum1 = vadd(sum1, e1);
    }
    if (j < n) {
        const vf e = vexp2(vsub(vload(row + j), s));
        vstore(row + j, e);
        sum0 = vadd(sum0, e);
    }
    vstore(total, vadd(sum0, sum1));
}

// row[j] = max(row[j] + log2(e) mask[j], hidden) over n: the mask in the scores' base.
inline void addMask(float* row, const float* mask, size_t n) {
    size_t j = 0;
    for (; j + kWidth <= n; j += kWidth)
        vstore(row + j, vmax(vfma(vload(mask + j), vset(kLog2e), vload(row + j)), vset(kHidden)));
    for (; j < n; ++j)
        row[j] = std::max(row[j] + kLog2e * mask[j], kHidden);
}

// Weights of keys far below a row's maximum come out subnormal, and products with subnormal operands take
// a microcode path tens of times slower: while the kernel runs, subnormals count as zero.
class SubnormalsAsZero {
public:
#if defined(__SSE__) || defined(__x86_64__)
    SubnormalsAsZero() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040); } // flush to zero, denormals are zero
    ~SubnormalsAsZero() { _mm_setcsr(saved_); }

private:
    unsigned saved_;
#endif
};

/// A tile's rows on their walk through the keys: the block's scores (turned into weights in place) and,
/// per row, the running maximum, the block's new one and the factor between them (arrays of
/// rowSlots(rows)), and a vector of partial sums (rows x kWidth).
struct SoftmaxRows {
    float* scores;
    size_t stride;
    size_t rows;
    size_t first; // the index of the tile's first query
    float* maximum;
    float* next;
    float* rescale;
    float* totals;
};

inline size_t rowSlots(size_t rows) {
    return blocksOf(rows, kWidth) * kWidth;
}

inline void startRows(SoftmaxRows& s) {
    std::fill(s.maximum, s.maximum + rowSlots(s.rows), kHidden);
    std::fill(s.next, s.next + rowSlots(s.rows), kHidden);
    std::fill(s.totals, s.totals + s.rows * kWidth, 0.0f);
}

// A block of `count` keys from k0 (scores over n >= count, n a multiple of kWidth): the mask and cut-off,
// each row's new running maximum (`next`) and the factor that rescales what came before.
inline void blockMaxima(const AttentionBlock& b, SoftmaxRows& s, size_t k0, size_t count, size_t n) {
    for (size_t r = 0; r < s.rows; ++r) {
        float* row = s.scores + r * s.stride;
        size_t visible = count;
        if (b.causal) {
            const size_t cutOff = s.first + r + b.causalShift + 1; // keys this row sees
            visible = cutOff > k0 ? std::min(count, cutOff - k0) : 0;
        }
        if (b.keyMask)
            addMask(row, b.keyMask + k0, visible);
        for (size_t j = visible; j < n; ++j) // the cut-off and the last block's padding
            row[j] = kHidden;
        s.next[r] = std::max(s.maximum[r], blockMax(row, n));
    }
    for (size_t r = 0; r < rowSlots(s.rows); r += kWidth)
        vstore(s.rescale + r, vexp2(vsub(vload(s.maximum + r), vload(s.next + r))));
}

// The block's maxima become the running ones (once its exponentials are taken).
inline void advanceRows(SoftmaxRows& s) {
    std::copy(s.next, s.next + rowSlots(s.rows), s.maximum);
}

// A block's scores into weights in place: its maxima, then the exponentials, summed per row.
inline void blockWeights(const AttentionBlock& b, SoftmaxRows& s, size_t k0, size_t count, size_t n) {
    blockMaxima(b, s, k0, count, n);
    for (size_t r = 0; r < s.rows; ++r)
        exp2Shifted(s.scores + r * s.stride, n, s.next[r], s.rescale[r], s.totals + r * kWidth);
    advanceRows(s);
}

// What a row's weighted sum is multiplied by at the end: 1 / its sum, or 0 for a row that saw nothing
// (every key hidden), which averages nothing, as its soft-max.
inline float rowNormaliser(const SoftmaxRows& s, size_t r) {
    return s.maximum[r] > kHidden ? 1.0f / vsum(vload(s.totals + r * kWidth)) : 0.0f;
}

// out[c] = sums[c] * factor over n.
inline void scaleRow(const float* sums, size_t n, float factor, float* out) {
    const vf f = vset(factor);
    size_t c = 0;
    for (; c + kWidth <= n; c += kWidth)
        vstore(out + c, vmul(vload(sums + c), f));
    for (; c < n; ++c)
        out[c] = sums[c] * factor;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
