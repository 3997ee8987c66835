#include "Platform/ML/Kernels/Packed/FloatGemm.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"
#include "Platform/ML/Kernels/Packed/TileDriver.h"

namespace ml::kernels {
namespace {

// One slice of inputs at a time. A widened weight panel of the slice (256 x 32 floats, 32 KB) stays in
// L1 while every row tile of a block runs over it; the block's rows are packed once per slice (32 tiles,
// 384 KB) and stream from L2, one contiguous micro-panel per tile. Blocks of 32 tiles widen each panel
// slice half as often as blocks of 16 (the widening and the packing together cost about a tenth of a
// product's time at 16); the block's results are read and written once per slice, from L2 or L3.
constexpr size_t kDepthSlice = 256;
constexpr size_t kColumnBlock = 1024;
constexpr size_t kRowBlockTiles = 32;

// The float32 register tile of a kernel table, for the shared driver.
struct FloatRoad {
    using Operand = float;
    using Weight = float;
    const KernelTable& k;
    size_t tileRows = k.gemmTileRows, panelWidth = k.gemmPanelWidth;
    size_t stepInputs = 1, sliceDepth = kDepthSlice, rowBlockTiles = kRowBlockTiles,
           columnBlock = kColumnBlock;
    void pack(const float* x, size_t ldx, size_t rows, size_t depth, float* packed) const {
        k.gemmPackRows(x, ldx, rows, depth, packed);
    }
    void tile(size_t steps, const float* a, const float* b, float* c, size_t ldc, bool load) const {
        k.gemmPackedTile(steps, a, b, c, ldc, load);
    }
};

} // namespace

void floatLinearPart(const float* x, const PackedWeights& W, size_t r0, size_t r1, size_t c0, size_t c1,
                     const float* bias, float* y, bool accumulate, bool gelu) {
    tileLinearPart(FloatRoad{W.kernels()}, x, W, r0, r1, c0, c1, bias, y, accumulate, gelu);
}

} // namespace ml::kernels
