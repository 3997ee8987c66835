#include "Platform/ML/Kernels/Packed/PackedLinear.h"

#include "Platform/ML/Kernels/Packed/AmxGemm.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ml::kernels {
namespace {

// A slice of 256 inputs: one widened weight panel (256 x 32 floats) stays in L1 while every row tile of
// the block runs over it, and the block's rows of the slice (192 x 256 floats) stay in L2.
constexpr size_t kDepthSlice = 256;
constexpr size_t kWidestColumnBlock = 512;

// Float32: C[r0:r1, c0:c1] of y over every input slice; the bias and epilogue are the caller's.
void floatBlock(const float* x, const PackedWeights& W, size_t r0, size_t r1, size_t c0, size_t c1, float* y,
                bool accumulate) {
    const KernelTable& k = W.kernels();
    const size_t in = W.in(), out = W.out(), tileRows = k.gemmTileRows, panelWidth = k.gemmPanelWidth;
    const size_t tiles = blocksOf(r1 - r0, tileRows), lastHeight = r1 - r0 - (tiles - 1) * tileRows;
    thread_local std::vector<float> b, edge, lastRows;
    b.resize(kDepthSlice * panelWidth);
    edge.resize(tileRows * panelWidth);
    lastRows.resize(tileRows * kDepthSlice);
    if (in == 0 && !accumulate)
        for (size_t r = r0; r < r1; ++r)
            std::fill(y + r * out + c0, y + r * out + c1, 0.0f);
    for (size_t k0 = 0; k0 < in; k0 += kDepthSlice) {
        const size_t depth = std::min(kDepthSlice, in - k0);
        // The rows of a partial last tile, padded with zero rows (a full tile reads its rows in place).
        if (lastHeight < tileRows) {
            std::fill(lastRows.begin(), lastRows.end(), 0.0f);
            for (size_t r = 0; r < lastHeight; ++r)
                std::memcpy(lastRows.data() + r * depth, x + (r1 - lastHeight + r) * in + k0,
                            depth * sizeof(float));
        }
        const bool load = accumulate || k0 > 0;
        for (size_t c = c0; c < c1; c += panelWidth) {
            k.halfToFloat(W.halfPanel(c / panelWidth) + k0 * panelWidth, b.data(), depth * panelWidth);
            const size_t width = std::min(panelWidth, c1 - c);
            for (size_t t = 0; t < tiles; ++t) {
                const size_t row = r0 + t * tileRows, height = std::min(tileRows, r1 - row);
                float* target = y + row * out + c;
                const bool partialRows = height < tileRows;
                const float* a = partialRows ? lastRows.data() : x + row * in + k0;
                const size_t lda = partialRows ? depth : in;
                if (!partialRows && width == panelWidth) {
                    k.gemmTile(depth, a, lda, b.data(), target, out, load);
                    continue;
                }
                // A partial tile runs on a full one in scratch memory.
                std::fill(edge.begin(), edge.end(), 0.0f);
                if (load)
                    for (size_t r = 0; r < height; ++r)
                        std::memcpy(edge.data() + r * panelWidth, target + r * out, width * sizeof(float));
                k.gemmTile(depth, a, lda, b.data(), edge.data(), panelWidth, load);
                for (size_t r = 0; r < height; ++r)
                    std::memcpy(target + r * out, edge.data() + r * panelWidth, width * sizeof(float));
            }
        }
    }
}

} // namespace

void packedLinear(const float* x, size_t rows, const PackedWeights& W, const float* bias, float* y,
                  bool accumulate, Epilogue epilogue) {
    const bool tiles = W.precision() == Precision::bfloat16;
    const size_t in = W.in(), out = W.out();
    // Rows per block: 128 (four pairs of matrix tiles; 64 for long inputs, so the block's bfloat16
    // activations stay in L2), in float32 16 register tiles (each widened weight panel serves them all).
    const size_t rowBlock = tiles ? (W.paddedIn() > 2048 ? 64 : 128) : W.kernels().gemmTileRows * 16;
    const size_t columnUnit = tiles ? 2 * PackedWeights::kTilePanelWidth : W.kernels().gemmPanelWidth;
    const size_t rowBlocks = blocksOf(rows, rowBlock);
    const size_t threads = ThreadPool::shared().threadCount();
    // Narrower column blocks until every thread has two blocks to take.
    size_t columnBlock = kWidestColumnBlock;
    while (columnBlock > columnUnit && rowBlocks * blocksOf(out, columnBlock) < 2 * threads)
        columnBlock /= 2;
    columnBlock = std::max(columnBlock, columnUnit);
    const size_t columnBlocks = blocksOf(out, columnBlock);
    // Float32 blocks are cut near-equal in whole register tiles and panels, so the pool's rounds end
    // together (1500 rows are 125 tiles: eight blocks of 15 or 16, not seven of 16 and one of 13).
    const size_t tileRows = W.kernels().gemmTileRows, panelWidth = W.kernels().gemmPanelWidth;
    const size_t rowTiles = blocksOf(rows, tileRows), panels = blocksOf(out, panelWidth);
    const KernelTable& k = activeKernels();
    ThreadPool::shared().parallelFor(rowBlocks * columnBlocks, [&](size_t task) {
        if (tiles) {
            const size_t r0 = task / columnBlocks * rowBlock, r1 = std::min(rows, r0 + rowBlock);
            const size_t c0 = task % columnBlocks * columnBlock, c1 = std::min(out, c0 + columnBlock);
            amxLinearRows(x + r0 * in, r1 - r0, W, c0, c1, bias, y + r0 * out, accumulate,
                          epilogue == Epilogue::gelu);
            return;
        }
        size_t t0, t1, p0, p1;
        partitionRange(rowTiles, rowBlocks, task / columnBlocks, 1, t0, t1);
        partitionRange(panels, columnBlocks, task % columnBlocks, 1, p0, p1);
        const size_t r0 = t0 * tileRows, r1 = std::min(rows, t1 * tileRows);
        const size_t c0 = p0 * panelWidth, c1 = std::min(out, p1 * panelWidth);
        if (r0 >= r1 || c0 >= c1)
            return;
        floatBlock(x, W, r0, r1, c0, c1, y, accumulate);
        for (size_t r = r0; r < r1; ++r) {
            float* row = y + r * out + c0;
            if (bias)
                k.add(row, bias + c0, c1 - c0);
            if (epilogue == Epilogue::gelu)
                k.gelu(row, c1 - c0);
        }
    });
}

} // namespace ml::kernels
