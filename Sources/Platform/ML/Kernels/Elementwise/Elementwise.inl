// Element-wise kernel bodies, written once in the vocabulary of Simd.h and compiled per instruction
// set by Elementwise_<isa>.cpp (not a header of its own: each of those files includes it once).

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"

namespace ml::kernels::VELMORA_ISA {
namespace {

void layerNormRow(const float* x, float* y, size_t width, const float* gamma, const float* beta, float eps) {
    // Two passes (mean, then centred squares) keep the variance accurate for large offsets.
    vf acc = vset(0.0f);
    size_t i = 0;
    for (; i + kWidth <= width; i += kWidth)
        acc = vadd(acc, vload(x + i));
    float sum = vsum(acc);
    for (; i < width; ++i)
        sum += x[i];
    const float mean = sum / float(width);
    vf vmean = vset(mean);
    acc = vset(0.0f);
    i = 0;
    for (; i + kWidth <= width; i += kWidth) {
        vf d = vsub(vload(x + i), vmean);
        acc = vfma(d, d, acc);
    }
    float squares = vsum(acc);
    for (; i < width; ++i)
        squares += (x[i] - mean) * (x[i] - mean);
    const float inv = 1.0f / std::sqrt(squares / float(width) + eps);
    vf vinv = vset(inv);
    i = 0;
    for (; i + kWidth <= width; i += kWidth)
        vstore(y + i, vfma(vmul(vsub(vload(x + i), vmean), vinv), vload(gamma + i), vload(beta + i)));
    for (; i < width; ++i)
        y[i] = (x[i] - mean) * inv * gamma[i] + beta[i];
}

void geluInPlace(float* x, size_t n) {
    size_t i = 0;
    const vf half = vset(0.5f), one = vset(1.0f), invSqrt2 = vset(0.70710678118654752f);
    for (; i + kWidth <= n; i += kWidth) {
        vf v = vload(x + i);
        vstore(x + i, vmul(vmul(half, v), vadd(one, verf(vmul(v, invSqrt2)))));
    }
    for (; i < n; ++i)
        x[i] = scalarGelu(x[i]);
}

float rowMax(const float* x, size_t n) {
    vf m = vset(-INFINITY);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        m = vmax(m, vload(x + i));
    float best = vhmax(m);
    for (; i < n; ++i)
        best = x[i] > best ? x[i] : best;
    return best;
}

// x[i] = exp(x[i] - shift); returns the sum.
float expShiftedInPlace(float* x, size_t n, float shift) {
    vf vshift = vset(shift), acc = vset(0.0f);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth) {
        vf e = vexp(vsub(vload(x + i), vshift));
        vstore(x + i, e);
        acc = vadd(acc, e);
    }
    float sum = vsum(acc);
    for (; i < n; ++i) {
        x[i] = std::exp(x[i] - shift);
        sum += x[i];
    }
    return sum;
}

void scaleInPlace(float* x, float s, size_t n) {
    vf vs = vset(s);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        vstore(x + i, vmul(vload(x + i), vs));
    for (; i < n; ++i)
        x[i] *= s;
}

void softmaxInPlace(float* x, size_t n) {
    if (n == 0)
        return;
    const float maximum = rowMax(x, n);
    if (maximum == -INFINITY) { // nothing may be chosen: an all-zero row rather than NaN
        std::memset(x, 0, n * sizeof(float));
        return;
    }
    scaleInPlace(x, 1.0f / expShiftedInPlace(x, n, maximum), n);
}

void logSoftmaxInPlace(float* x, size_t n) {
    if (n == 0)
        return;
    const float maximum = rowMax(x, n);
    if (maximum == -INFINITY)
        return; // every entry stays -inf
    // Sum the exponentials without touching x, then shift x once.
    vf vmaximum = vset(maximum), acc = vset(0.0f);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        acc = vadd(acc, vexp(vsub(vload(x + i), vmaximum)));
    float sum = vsum(acc);
    for (; i < n; ++i)
        sum += std::exp(x[i] - maximum);
    const float shift = maximum + std::log(sum);
    vf vshift = vset(shift);
    i = 0;
    for (; i + kWidth <= n; i += kWidth)
        vstore(x + i, vsub(vload(x + i), vshift));
    for (; i < n; ++i)
        x[i] -= shift;
}

void addInPlace(float* y, const float* x, size_t n) {
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        vstore(y + i, vadd(vload(y + i), vload(x + i)));
    for (; i < n; ++i)
        y[i] += x[i];
}

void halfToFloatBulk(const uint16_t* src, float* dst, size_t n) {
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        vstore(dst + i, vloadHalf(src + i));
    for (; i < n; ++i)
        dst[i] = halfBitsToFloat(src[i]);
}

void floatToHalfBulk(const float* src, uint16_t* dst, size_t n) {
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        vstoreHalf(dst + i, vload(src + i));
    for (; i < n; ++i)
        dst[i] = floatToHalfBits(src[i]);
}

void fillElementwise(KernelTable& table) {
    table.layerNorm = layerNormRow;
    table.gelu = geluInPlace;
    table.softmax = softmaxInPlace;
    table.logSoftmax = logSoftmaxInPlace;
    table.expShifted = expShiftedInPlace;
    table.add = addInPlace;
    table.scale = scaleInPlace;
    table.halfToFloat = halfToFloatBulk;
    table.floatToHalf = floatToHalfBulk;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
