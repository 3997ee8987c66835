#include "Platform/ML/Kernels/Packed/BfloatGemm.h"

#include "Platform/ML/Kernels/Packed/TileDriver.h"

namespace ml::kernels {
namespace {

// Slices twice as deep as the float32 road's: a panel's slice is as many bytes (512 inputs x 32 columns of
// bfloat16, 32 KB, in L1), and the result tiles are loaded and stored half as often.
struct VectorRoad {
    using Operand = uint32_t;
    using Weight = uint16_t;
    size_t tileRows = kBfloatTileRows, panelWidth = PackedWeights::kBfloatPanelWidth;
    size_t stepInputs = 2, sliceDepth = 512, rowBlockTiles = 32, columnBlock = 1024;
    static void pack(const float* x, size_t ldx, size_t rows, size_t depth, uint32_t* packed) {
        bfloatPackRows(x, ldx, rows, depth, packed);
    }
    static void tile(size_t pairs, const uint32_t* a, const uint16_t* b, float* c, size_t ldc, bool load) {
        bfloatPackedTile(pairs, a, b, c, ldc, load);
    }
};

} // namespace

void bfloatLinearPart(const float* x, const PackedWeights& W, size_t r0, size_t r1, size_t c0, size_t c1,
                      const float* bias, float* y, bool accumulate, bool gelu) {
    tileLinearPart(VectorRoad{}, x, W, r0, r1, c0, c1, bias, y, accumulate, gelu);
}

} // namespace ml::kernels
