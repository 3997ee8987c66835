#include "Platform/ML/Kernels/Packed/PackedLinear.h"

#include "Platform/ML/Kernels/Packed/AmxGemm.h"
#include "Platform/ML/Kernels/Packed/BfloatGemm.h"
#include "Platform/ML/Kernels/Packed/FloatGemm.h"
#include "Platform/ML/Kernels/Packed/TileDriver.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>

namespace ml::kernels {

void packedLinear(const float* x, size_t rows, const PackedWeights& W, const float* bias, float* y,
                  bool accumulate, Epilogue epilogue) {
    const size_t in = W.in(), out = W.out();
    ThreadPool& pool = ThreadPool::shared();
    if (W.precision() == Precision::float32 || W.road() == BfloatRoad::vectors) {
        // Register tiles (float32, or bfloat16 pairs): near-equal rectangles of tiles and panels, taken by
        // the pool in rounds (tileSplit).
        const bool vectors = W.precision() == Precision::bfloat16;
        const size_t tileRows = vectors ? kBfloatTileRows : W.kernels().gemmTileRows;
        const size_t panelWidth = vectors ? PackedWeights::kBfloatPanelWidth : W.kernels().gemmPanelWidth;
        const TileSplit split = tileSplit(rows, out, tileRows, panelWidth, pool.threadCount());
        const size_t tiles = blocksOf(rows, tileRows), panels = blocksOf(out, panelWidth);
        pool.parallelFor(split.rowParts * split.columnParts, [&](size_t part) {
            size_t t0, t1, p0, p1;
            partitionRange(tiles, split.rowParts, part / split.columnParts, 1, t0, t1);
            partitionRange(panels, split.columnParts, part % split.columnParts, 1, p0, p1);
            const size_t r0 = t0 * tileRows, r1 = std::min(rows, t1 * tileRows);
            const size_t c0 = p0 * panelWidth, c1 = std::min(out, p1 * panelWidth);
            if (r0 >= r1 || c0 >= c1)
                return;
            (vectors ? bfloatLinearPart : floatLinearPart)(x, W, r0, r1, c0, c1, bias, y, accumulate,
                                                           epilogue == Epilogue::gelu);
        });
        return;
    }
    // Bfloat16 tiles: blocks of 128 rows (four pairs of matrix tiles; 64 for long inputs, so the block's
    // bfloat16 activations stay in L2) by up to 512 columns, narrowed until every thread has two blocks.
    const size_t rowBlock = W.paddedIn() > 2048 ? 64 : 128;
    const size_t columnUnit = PackedWeights::kBfloatPanelWidth;
    const size_t rowBlocks = blocksOf(rows, rowBlock);
    size_t columnBlock = 512;
    while (columnBlock > columnUnit && rowBlocks * blocksOf(out, columnBlock) < 2 * pool.threadCount())
        columnBlock /= 2;
    columnBlock = std::max(columnBlock, columnUnit);
    const size_t columnBlocks = blocksOf(out, columnBlock);
    pool.parallelFor(rowBlocks * columnBlocks, [&](size_t task) {
        const size_t r0 = task / columnBlocks * rowBlock, r1 = std::min(rows, r0 + rowBlock);
        const size_t c0 = task % columnBlocks * columnBlock, c1 = std::min(out, c0 + columnBlock);
        amxLinearRows(x + r0 * in, r1 - r0, W, c0, c1, bias, y + r0 * out, accumulate,
                      epilogue == Epilogue::gelu);
    });
}

} // namespace ml::kernels
