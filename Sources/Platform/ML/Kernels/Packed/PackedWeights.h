#pragma once
// A linear layer's weight [out, in] packed once, at load, into the layout the matrix kernels read:
// panels of output columns, each panel's values for one input step side by side. Float32 products keep
// the panels as IEEE halves and widen one panel at a time into cache (half the memory of floats, the
// same results for half-precision checkpoints); reduced-precision products keep bfloat16 pairs in the
// processor's tile layout.

#include "Platform/ML/Kernels/KernelTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace ml::kernels {

enum class Precision {
    /// IEEE single precision throughout: the exact path.
    float32,
    /// bfloat16 products with float32 sums, where the processor has the tiles for it.
    bfloat16,
};

class PackedWeights {
public:
    PackedWeights() = default;

    /// Packs W [out, in] for the given kernels (the processor's best by default). A bfloat16 request
    /// falls back to float32 where the processor cannot run it; precision() tells which was taken.
    static PackedWeights pack(const float* W, size_t out, size_t in, Precision wanted,
                              const KernelTable& kernels = activeKernels());

    /// Writes row `row` of W (`in` values) into `values`; called from several threads at once.
    using RowReader = std::function<void(size_t row, float* values)>;
    /// The same, reading W a row at a time (straight from a weights file, no float copy of the whole).
    static PackedWeights pack(const RowReader& readRow, size_t out, size_t in, Precision wanted,
                              const KernelTable& kernels = activeKernels());

    size_t in() const { return in_; }
    size_t out() const { return out_; }
    Precision precision() const { return precision_; }
    const KernelTable& kernels() const { return *kernels_; }
    size_t byteCount() const { return data_.size() * sizeof(uint16_t); }

    /// Float32 layout: panel p holds columns [p * W, p * W + W) (W = the kernels' panel width, zero past
    /// `out`), in steps of W halves per input index.
    const uint16_t* halfPanel(size_t panel) const {
        return data_.data() + panel * in_ * kernels_->gemmPanelWidth;
    }

    /// Bfloat16 layout: panels of 16 columns (an even number of them), the input padded to multiples of
    /// 32; within a panel, input pairs (2i, 2i + 1) of the 16 columns side by side.
    static constexpr size_t kTilePanelWidth = 16, kTileDepth = 32;
    size_t paddedIn() const { return paddedIn_; }
    const uint16_t* tilePanels() const { return data_.data(); }

private:
    size_t in_ = 0, out_ = 0, paddedIn_ = 0;
    Precision precision_ = Precision::float32;
    const KernelTable* kernels_ = nullptr;
    std::vector<uint16_t> data_;
};

/// float -> bfloat16 bits, round to nearest even (NaN stays NaN).
uint16_t floatToBfloat16(float value);

} // namespace ml::kernels
