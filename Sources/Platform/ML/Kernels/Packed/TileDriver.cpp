#include "Platform/ML/Kernels/Packed/TileDriver.h"

#include <limits>

namespace ml::kernels {
namespace {

// The row blocks the roads cut a part into (their rowBlockTiles), as the cost model counts widenings.
constexpr size_t kSplitRowBlockTiles = 32;

} // namespace

TileSplit tileSplit(size_t rows, size_t out, size_t tileRows, size_t panelWidth, size_t threads) {
    const size_t tiles = blocksOf(rows, tileRows), panels = blocksOf(out, panelWidth);
    // Parts are taken dynamically, a round of `threads` at a time. A part costs its tiles x panels runs of
    // the register tile, plus its copies: each tile packs its rows (about half a run), each panel is
    // widened once per block of rows (about a fifth), and a fixed start.
    TileSplit best;
    double bestCost = std::numeric_limits<double>::infinity();
    for (size_t rowParts = 1; rowParts <= std::min(tiles, 8 * threads); ++rowParts)
        for (size_t columnParts = 1; columnParts <= panels && rowParts * columnParts <= 8 * threads;
             ++columnParts) {
            const size_t partTiles = blocksOf(tiles, rowParts), partPanels = blocksOf(panels, columnParts);
            const double part = double(partTiles * partPanels) + 0.5 * double(partTiles) +
                                0.2 * double(partPanels * blocksOf(partTiles, kSplitRowBlockTiles)) + 2.0;
            const double cost = double(blocksOf(rowParts * columnParts, threads)) * part;
            if (cost < bestCost) {
                bestCost = cost;
                best = {rowParts, columnParts};
            }
        }
    return best;
}

} // namespace ml::kernels
