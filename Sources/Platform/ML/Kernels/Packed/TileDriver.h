#pragma once
// The loop both vector roads' products run on (float32 and bfloat16 register tiles): one part of the
// output, [r0, r1) x [c0, c1), in blocks that fit the caches. Per slice of inputs, a block's activation
// rows are packed once (one contiguous micro-panel per register tile) and stream from L2, while each weight
// panel's slice (panelSlice: widened where stored narrower) stays in L1 for all of the block's tiles; the
// block's results stay in L2 from slice to slice and get their bias and GELU there.
//
// A road supplies: `Operand` (one packed activation step) and `Weight` (the compute type panelSlice
// reads); tileRows, panelWidth, stepInputs (inputs per packed step), sliceDepth (a multiple of stepInputs),
// rowBlockTiles and columnBlock; pack(x, ldx, rows, depth, Operand*) for at most tileRows rows (zero past
// them, and past `depth` to the whole step); and tile(steps, const Operand*, const Weight*, float* c, ldc,
// load) for a full tile.

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"
#include "Platform/ML/Kernels/Packed/PanelSlice.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ml::kernels {

/// How a product of `rows` x `out` splits over `threads`: rowParts x columnParts rectangles of whole
/// register tiles and panels, near-equal in size (parts are taken by the pool in rounds).
struct TileSplit {
    size_t rowParts = 1, columnParts = 1;
};
TileSplit tileSplit(size_t rows, size_t out, size_t tileRows, size_t panelWidth, size_t threads);

template <class Road>
void tileLinearPart(const Road& road, const float* x, const PackedWeights& W, size_t r0, size_t r1, size_t c0,
                    size_t c1, const float* bias, float* y, bool accumulate, bool gelu) {
    using Operand = typename Road::Operand;
    using Weight = typename Road::Weight;
    const KernelTable& k = W.kernels();
    const size_t in = W.in(), out = W.out(), tileRows = road.tileRows, panelWidth = road.panelWidth;
    const size_t partTiles = blocksOf(r1 - r0, tileRows), partPanels = blocksOf(c1 - c0, panelWidth);
    const size_t rowBlocks = blocksOf(partTiles, std::max<size_t>(1, road.rowBlockTiles));
    const size_t columnBlocks = blocksOf(partPanels, std::max<size_t>(1, road.columnBlock / panelWidth));
    const size_t blockTiles = blocksOf(partTiles, rowBlocks);
    thread_local std::vector<Operand> rowsPacked;
    thread_local std::vector<Weight> panel;
    thread_local std::vector<float> edge;
    rowsPacked.resize(blockTiles * tileRows * road.sliceDepth / road.stepInputs);
    panel.resize(road.sliceDepth * panelWidth);
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
            for (size_t k0 = 0; k0 < in; k0 += road.sliceDepth) {
                const size_t depth = std::min(road.sliceDepth, in - k0),
                             steps = blocksOf(depth, road.stepInputs);
                const size_t microPanel = tileRows * steps;
                for (size_t t = 0; t < tiles; ++t) {
                    const size_t row = rb + t * tileRows;
                    road.pack(x + row * in + k0, in, std::min(tileRows, re - row), depth,
                              rowsPacked.data() + t * microPanel);
                }
                const bool load = accumulate || k0 > 0;
                for (size_t c = cb; c < ce; c += panelWidth) {
                    const size_t width = std::min(panelWidth, ce - c);
                    const Weight* weights =
                        panelSlice(W, c / panelWidth, k0, steps * road.stepInputs, panel.data());
                    for (size_t t = 0; t < tiles; ++t) {
                        const size_t row = rb + t * tileRows, height = std::min(tileRows, re - row);
                        const Operand* a = rowsPacked.data() + t * microPanel;
                        float* target = y + row * out + c;
                        if (height == tileRows && width == panelWidth) {
                            road.tile(steps, a, weights, target, out, load);
                            continue;
                        }
                        // A partial tile runs on a full one in scratch memory.
                        std::fill(edge.begin(), edge.end(), 0.0f);
                        if (load)
                            for (size_t r = 0; r < height; ++r)
                                std::memcpy(edge.data() + r * panelWidth, target + r * out,
                                            width * sizeof(float));
                        road.tile(steps, a, weights, edge.data(), panelWidth, load);
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
