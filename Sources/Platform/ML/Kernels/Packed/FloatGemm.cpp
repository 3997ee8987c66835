#include "Platform/ML/Kernels/Packed/FloatGemm.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace ml::kernels {
namespace {

// One slice of inputs at a time. A widened weight panel of the slice (256 x 32 floats, 32 KB) stays in
// L1 while every row tile of a block runs over it; the block's rows are packed once per slice (16 tiles,
// 192 KB) and stream from L2, one contiguous micro-panel per tile; the block's results (up to 192 rows x
// 1024 columns, 768 KB) stay in L2 from slice to slice.
constexpr size_t kDepthSlice = 256;
constexpr size_t kColumnBlock = 1024;
constexpr size_t kRowBlockTiles = 16;

// Near-equal blocks of at most `most` units: how many.
size_t evenBlocks(size_t units, size_t most) {
    return blocksOf(units, std::max<size_t>(1, most));
}

} // namespace

FloatGemmSplit floatGemmSplit(size_t rows, size_t out, const KernelTable& kernels, size_t threads) {
    const size_t tiles = blocksOf(rows, kernels.gemmTileRows), panels = blocksOf(out, kernels.gemmPanelWidth);
    // Parts are taken dynamically, a round of `threads` at a time. A part costs its tiles x panels runs of
    // the register tile, plus its copies: each tile packs its rows (about half a run), each panel is
    // widened once per block of rows (about a fifth), and a fixed start.
    FloatGemmSplit best;
    double bestCost = std::numeric_limits<double>::infinity();
    for (size_t rowParts = 1; rowParts <= std::min(tiles, 8 * threads); ++rowParts)
        for (size_t columnParts = 1; columnParts <= panels && rowParts * columnParts <= 8 * threads;
             ++columnParts) {
            const size_t partTiles = blocksOf(tiles, rowParts), partPanels = blocksOf(panels, columnParts);
            const double part = double(partTiles * partPanels) + 0.5 * double(partTiles) +
                                0.2 * double(partPanels * evenBlocks(partTiles, kRowBlockTiles)) + 2.0;
            const double cost = double(blocksOf(rowParts * columnParts, threads)) * part;
            if (cost < bestCost) {
                bestCost = cost;
                best = {rowParts, columnParts};
            }
        }
    return best;
}

void floatLinearPart(const float* x, const PackedWeights& W, size_t r0, size_t r1, size_t c0, size_t c1,
                     const float* bias, float* y, bool accumulate, bool gelu) {
    const KernelTable& k = W.kernels();
    const size_t in = W.in(), out = W.out(), tileRows = k.gemmTileRows, panelWidth = k.gemmPanelWidth;
    const size_t partTiles = blocksOf(r1 - r0, tileRows), partPanels = blocksOf(c1 - c0, panelWidth);
    const size_t rowBlocks = evenBlocks(partTiles, kRowBlockTiles);
    const size_t columnBlocks = evenBlocks(partPanels, kColumnBlock / panelWidth);
    const size_t blockTiles = blocksOf(partTiles, rowBlocks);
    thread_local std::vector<float> rowsPacked, panel, edge;
    rowsPacked.resize(blockTiles * tileRows * kDepthSlice);
    panel.resize(kDepthSlice * panelWidth);
    edge.resize(tileRows * panelWidth);
    for (size_t cbi = 0; cbi < columnBlocks; ++cbi) {
        size_t p0, p1;
        partitionRange(partPanels, columnBlocks, cbi, 1, p0, p1);
        const size_t cb = c0 + p0 * panelWidth, ce = std::min(c1, c0 + p1 * panelWidth);
        for (size_t rbi = 0; rbi < rowBlocks; ++rbi) {
            size_t t0, t1;
            partitionRange(partTiles, rowBlocks, rbi, 1, t0, t1);
            const size_t rb = r0 + t0 * tileRows, re = std::min(r1, r0 + t1 * tileRows);
            const size_t tiles = t1 - t0;
            if (in == 0 && !accumulate)
                for (size_t r = rb; r < re; ++r)
                    std::fill(y + r * out + cb, y + r * out + ce, 0.0f);
            for (size_t k0 = 0; k0 < in; k0 += kDepthSlice) {
                const size_t depth = std::min(kDepthSlice, in - k0), microPanel = tileRows * depth;
                for (size_t t = 0; t < tiles; ++t) {
                    const size_t row = rb + t * tileRows;
                    k.gemmPackRows(x + row * in + k0, in, std::min(tileRows, re - row), depth,
                                   rowsPacked.data() + t * microPanel);
                }
                const bool load = accumulate || k0 > 0;
                for (size_t c = cb; c < ce; c += panelWidth) {
                    const size_t width = std::min(panelWidth, ce - c);
                    const uint16_t* halves = W.halfPanel(c / panelWidth) + k0 * panelWidth;
                    k.halfToFloat(halves, panel.data(), depth * panelWidth);
                    for (size_t t = 0; t < tiles; ++t) {
                        const size_t row = rb + t * tileRows, height = std::min(tileRows, re - row);
                        const float* a = rowsPacked.data() + t * microPanel;
                        float* target = y + row * out + c;
                        if (height == tileRows && width == panelWidth) {
                            k.gemmPackedTile(depth, a, panel.data(), target, out, load);
                            continue;
                        }
                        // A partial tile runs on a full one in scratch memory.
                        std::fill(edge.begin(), edge.end(), 0.0f);
                        if (load)
                            for (size_t r = 0; r < height; ++r)
                                std::memcpy(edge.data() + r * panelWidth, target + r * out,
                                            width * sizeof(float));
                        k.gemmPackedTile(depth, a, panel.data(), edge.data(), panelWidth, load);
                        for (size_t r = 0; r < height; ++r)
                            std::memcpy(target + r * out, edge.data() + r * panelWidth,
                                        width * sizeof(float));
                    }
                }
            }
            // Bias and GELU while the block's results are still in L2.
            for (size_t r = rb; r < re; ++r) {
                float* row = y + r * out + cb;
                if (bias)
                    k.add(row, bias + cb, ce - cb);
                if (gelu)
                    k.gelu(row, ce - cb);
            }
        }
    }
}

} // namespace ml::kernels
