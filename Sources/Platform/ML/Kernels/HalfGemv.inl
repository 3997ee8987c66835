// Kernel bodies over half-precision weights (the decoder's per-token, bandwidth-bound work),
// compiled per instruction set by HalfGemv_<isa>.cpp. Include only after Simd.h.

namespace ml::kernels::VELMORA_ISA {
namespace {

float halfDotProduct(const uint16_t* x, const float* y, size_t n) {
    vf a0 = vset(0.0f), a1 = vset(0.0f);
    size_t i = 0;
    for (; i + 2 * kWidth <= n; i += 2 * kWidth) {
        a0 = vfma(vloadHalf(x + i), vload(y + i), a0);
        a1 = vfma(vloadHalf(x + i + kWidth), vload(y + i + kWidth), a1);
    }
    for (; i + kWidth <= n; i += kWidth)
        a0 = vfma(vloadHalf(x + i), vload(y + i), a0);
    float sum = vsum(vadd(a0, a1));
    for (; i < n; ++i)
        sum += halfBitsToFloat(x[i]) * y[i];
    return sum;
}

void halfGemvRows(const uint16_t* w, size_t ldw, const float* x, size_t in, float* y, size_t rows) {
    size_t r = 0;
    // Four rows at a time share each load of x.
    for (; r + 4 <= rows; r += 4) {
        const uint16_t* w0 = w + r * ldw;
        const uint16_t* w1 = w0 + ldw;
        const uint16_t* w2 = w1 + ldw;
        const uint16_t* w3 = w2 + ldw;
        vf a0 = vset(0.0f), a1 = vset(0.0f), a2 = vset(0.0f), a3 = vset(0.0f);
        size_t i = 0;
        for (; i + kWidth <= in; i += kWidth) {
            vf xv = vload(x + i);
            a0 = vfma(vloadHalf(w0 + i), xv, a0);
            a1 = vfma(vloadHalf(w1 + i), xv, a1);
            a2 = vfma(vloadHalf(w2 + i), xv, a2);
            a3 = vfma(vloadHalf(w3 + i), xv, a3);
        }
        float s0 = vsum(a0), s1 = vsum(a1), s2 = vsum(a2), s3 = vsum(a3);
        for (; i < in; ++i) {
            s0 += halfBitsToFloat(w0[i]) * x[i];
            s1 += halfBitsToFloat(w1[i]) * x[i];
            s2 += halfBitsToFloat(w2[i]) * x[i];
            s3 += halfBitsToFloat(w3[i]) * x[i];
        }
        y[r] = s0;
        y[r + 1] = s1;
        y[r + 2] = s2;
        y[r + 3] = s3;
    }
    for (; r < rows; ++r)
        y[r] = halfDotProduct(w + r * ldw, x, in);
}

void halfAxpyInPlace(float a, const uint16_t* x, float* y, size_t n) {
    vf va = vset(a);
    size_t i = 0;
    for (; i + kWidth <= n; i += kWidth)
        vstore(y + i, vfma(va, vloadHalf(x + i), vload(y + i)));
    for (; i < n; ++i)
        y[i] += a * halfBitsToFloat(x[i]);
}

void fillHalfGemv(KernelTable& table) {
    table.halfGemv = halfGemvRows;
    table.halfAxpy = halfAxpyInPlace;
    table.halfDot = halfDotProduct;
}

} // namespace
} // namespace ml::kernels::VELMORA_ISA
