#pragma once
// The kernels' private dispatch table: one signature per operation, filled once from the CPU's
// features. Kernel files are named operation-plus-instruction-set (Elementwise_avx512.cpp, ...);
// tests run every variant the machine can run against naive references.

#include <cstddef>
#include <cstdint>

namespace ml::kernels {

struct AttentionBlock;

/// avx512vnni: the AVX-512 table with the 8-bit products summed by VNNI instructions.
enum class Isa { generic, avx2, avx512, avx512vnni };

struct KernelTable {
    Isa isa = Isa::generic;
    const char* name = "generic";

    // One row: y = (x - mean) / sqrt(var + eps) * gamma + beta. y may equal x.
    void (*layerNorm)(const float* x, float* y, size_t width, const float* gamma, const float* beta,
                      float eps) = nullptr;
    // In place, the exact form 0.5 x (1 + erf(x / sqrt 2)).
    void (*gelu)(float* x, size_t n) = nullptr;
    // In place over one row; -inf entries become 0 (soft-max) or -inf (log-soft-max).
    void (*softmax)(float* x, size_t n) = nullptr;
    void (*logSoftmax)(float* x, size_t n) = nullptr;
    // In place x = exp(x - shift); returns the sum (a soft-max in parts, combined by the caller).
    float (*expShifted)(float* x, size_t n, float shift) = nullptr;
    // y += x (residual connections); y = x * s (scaling).
    void (*add)(float* y, const float* x, size_t n) = nullptr;
    void (*scale)(float* x, float s, size_t n) = nullptr;
    // Bulk IEEE half conversion (F16C where present), round to nearest even.
    void (*halfToFloat)(const uint16_t* src, float* dst, size_t n) = nullptr;
    void (*floatToHalf)(const float* src, uint16_t* dst, size_t n) = nullptr;
    // y[r] = dot(W row r, x) for `rows` rows of half weights with row stride ldw.
    void (*halfGemv)(const uint16_t* w, size_t ldw, const float* x, size_t in, float* y,
                     size_t rows) = nullptr;
    // y += a * x over half x; and the dot product of half x with float y.
    void (*halfAxpy)(float a, const uint16_t* x, float* y, size_t n) = nullptr;
    float (*halfDot)(const uint16_t* x, const float* y, size_t n) = nullptr;
    // out[i] += sum over r < count of weights[r] * rows[r * ld + i], for i < width (attention's weighted
    // sum of value rows, in one pass with the sums kept in registers).
    void (*halfWeightedRowSum)(const uint16_t* rows, size_t ld, const float* weights, size_t count,
                               float* out, size_t width) = nullptr;

    // 8-bit weights. y[r] = scales[r] * xScale * (W row r . x) for `rows` rows of int8 weights (row stride
    // ldw) and activations quantised to 16 bits (value = x[i] * xScale); the dot is summed exactly in
    // integers, so every variant gives the same bits.
    void (*int8Gemv)(const int8_t* w, size_t ldw, const float* scales, const int16_t* x, float xScale,
                     size_t in, float* y, size_t rows) = nullptr;
    // x as 16-bit integers q[i] = round(x[i] / scale), scale = max |x| / 32767; returns the scale (0, and q
    // all 0, when max |x| < FLT_MIN * 32767; NaN when x holds NaN or infinities).
    float (*quantizeInt16)(const float* x, size_t n, int16_t* q) = nullptr;
    // A slice of an 8-bit weight panel widened: out[k * width + j] = q[k * width + j] * scales[j].
    void (*int8WidenPanel)(const int8_t* q, const float* scales, size_t width, size_t depth,
                           float* out) = nullptr;
    // The same into the bfloat16 roads' layout: `rows` rows of 64 values (32 columns' input pairs), value e
    // of a row times pairScales[e], rounded to nearest even bfloat16.
    void (*int8WidenBfloat16)(const int8_t* q, const float* pairScales, size_t rows, uint16_t* out) = nullptr;

    // Searches over one row (NaN never counts as above or at a threshold): the largest non-NaN value
    // (-inf when there is none); whether any entry is NaN; the index of the first entry above, or at or
    // above, a threshold (n when there is none).
    float (*maxIgnoringNaN)(const float* x, size_t n) = nullptr;
    bool (*anyNaN)(const float* x, size_t n) = nullptr;
    size_t (*firstAbove)(const float* x, size_t n, float threshold) = nullptr;
    size_t (*firstAtLeast)(const float* x, size_t n, float threshold) = nullptr;

    // The matrix products' register tile: C[tileRows, panelWidth] (row stride ldc) = (load ? C : 0) + A B
    // over `depth` steps, A row-major (row stride lda), B as depth rows of panelWidth floats.
    size_t gemmTileRows = 0;
    size_t gemmPanelWidth = 0;
    void (*gemmTile)(size_t depth, const float* a, size_t lda, const float* b, float* c, size_t ldc,
                     bool load) = nullptr;
    // The same tile over rows packed step-major: gemmPackRows writes `rows` (at most gemmTileRows, row
    // stride ldx, zero rows after them) of `depth` inputs as packed[k * gemmTileRows + r], and
    // gemmPackedTile reads A in that form.
    void (*gemmPackRows)(const float* x, size_t ldx, size_t rows, size_t depth, float* packed) = nullptr;
    void (*gemmPackedTile)(size_t depth, const float* a, const float* b, float* c, size_t ldc,
                           bool load) = nullptr;

    // Float32 attention for one head and a block of queries (AttentionBlock.h), keys and values laid out in
    // panels of attentionPanelWidth.
    size_t attentionPanelWidth = 0;
    void (*attentionBlock)(const AttentionBlock& block) = nullptr;
};

/// The table for the best instruction set this processor supports (filled on first use).
const KernelTable& activeKernels();

/// The table of one instruction set, or nullptr when this processor cannot run it (for tests).
const KernelTable* kernelsFor(Isa isa);

// Filled by the per-instruction-set files.
void fillElementwise_generic(KernelTable& table);
void fillElementwise_avx2(KernelTable& table);
void fillElementwise_avx512(KernelTable& table);
void fillHalfGemv_generic(KernelTable& table);
void fillHalfGemv_avx2(KernelTable& table);
void fillHalfGemv_avx512(KernelTable& table);
void fillReduction_generic(KernelTable& table);
void fillReduction_avx2(KernelTable& table);
void fillReduction_avx512(KernelTable& table);
void fillTileGemm_generic(KernelTable& table);
void fillTileGemm_avx2(KernelTable& table);
void fillTileGemm_avx512(KernelTable& table);
void fillAttentionBlock_generic(KernelTable& table);
void fillAttentionBlock_avx2(KernelTable& table);
void fillAttentionBlock_avx512(KernelTable& table);
void fillInt8Kernels_generic(KernelTable& table);
void fillInt8Kernels_avx2(KernelTable& table);
void fillInt8Kernels_avx512(KernelTable& table);
void fillInt8Kernels_avx512vnni(KernelTable& table);

} // namespace ml::kernels
