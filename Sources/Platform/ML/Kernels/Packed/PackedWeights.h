#pragma once
// A linear layer's weight [out, in] packed once, at load, into the layout the matrix kernels read:
// panels of output columns, each panel's values for one input step side by side. Float32 products keep
// the panels as IEEE halves and widen one slice of a panel at a time into cache (half the memory of
// floats, the same results for half-precision checkpoints); reduced-precision products keep bfloat16
// pairs, read as they lie. The drivers reach the stored values only through panelSlice (PanelSlice.h).

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/BfloatRoad.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace ml::kernels {

enum class Precision {
    /// IEEE single precision throughout: the exact path.
    float32,
    /// bfloat16 products with float32 sums, where the processor has a road for them (BfloatRoad.h).
    bfloat16,
};

/// How the packed values are stored (what panelSlice widens from).
enum class WeightStorage {
    /// IEEE halves in float32 panels, widened a slice at a time.
    half,
    /// bfloat16 pairs in 32-column panels, read in place by the bfloat16 roads.
    bfloat16,
    /// 8-bit integers with a float scale per column (output row of W), in the layout of the road's compute
    /// type (float32 panels, or bfloat16 pair panels), widened a slice at a time.
    int8,
};

class PackedWeights {
public:
    PackedWeights() = default;

    /// Packs W [out, in] for the given kernels (the processor's best by default) and, for bfloat16, the
    /// given road (the processor's best by default). A bfloat16 request falls back to float32 where the
    /// road does not run; precision() and road() tell which was taken.
    static PackedWeights pack(const float* W, size_t out, size_t in, Precision wanted,
                              const KernelTable& kernels = activeKernels(),
                              BfloatRoad road = bestBfloatRoad());

    /// Writes row `row` of W (`in` values) into `values`; called from several threads at once.
    using RowReader = std::function<void(size_t row, float* values)>;
    /// The same, reading W a row at a time (straight from a weights file, no float copy of the whole).
    static PackedWeights pack(const RowReader& readRow, size_t out, size_t in, Precision wanted,
                              const KernelTable& kernels = activeKernels(),
                              BfloatRoad road = bestBfloatRoad());

    /// Writes row `row` of an 8-bit W (`in` values) into `values` and returns its scale.
    using Int8RowReader = std::function<float(size_t row, int8_t* values)>;
    /// Packs an 8-bit W, kept 8-bit on either precision.
    static PackedWeights packInt8(const Int8RowReader& readRow, size_t out, size_t in, Precision wanted,
                                  const KernelTable& kernels = activeKernels(),
                                  BfloatRoad road = bestBfloatRoad());

    size_t in() const { return in_; }
    size_t out() const { return out_; }
    Precision precision() const { return precision_; }
    WeightStorage storage() const { return storage_; }
    /// The road the bfloat16 products run on (`none` for float32).
    BfloatRoad road() const { return road_; }
    const KernelTable& kernels() const { return *kernels_; }
    size_t byteCount() const {
        return data_.size() * sizeof(uint16_t) + bytes_.size() + scales_.size() * sizeof(float);
    }

    /// Half storage: panel p holds columns [p * W, p * W + W) (W = the kernels' panel width, zero past
    /// `out`), in steps of W halves per input index.
    const uint16_t* halfPanel(size_t panel) const {
        return data_.data() + panel * in_ * kernels_->gemmPanelWidth;
    }

    /// Bfloat16 storage: panels of 32 columns (zero past `out`), the input padded with zeros to multiples
    /// of 32; within a panel, per input pair (2i, 2i + 1), the 32 columns' pairs side by side (64 values,
    /// one vector of 16 columns' pairs and the next; a matrix tile's 16 rows read every other 64 bytes).
    static constexpr size_t kBfloatPanelWidth = 32, kBfloatDepth = 32;
    size_t paddedIn() const { return paddedIn_; }
    const uint16_t* bfloat16Panel(size_t panel) const {
        return data_.data() + panel * paddedIn_ * kBfloatPanelWidth;
    }

    /// 8-bit storage: the half layout in bytes for float32 (a scale per column), or the bfloat16 one in bytes
    /// for bfloat16 (a scale per value of a 64-value row of pairs: each column's twice).
    const int8_t* int8Panel(size_t panel) const {
        return bytes_.data() +
               panel * (precision_ == Precision::float32 ? in_ * kernels_->gemmPanelWidth
                                                         : paddedIn_ * kBfloatPanelWidth);
    }
    const float* int8Scales(size_t panel) const {
        return scales_.data() +
               panel * (precision_ == Precision::float32 ? kernels_->gemmPanelWidth : 2 * kBfloatPanelWidth);
    }

private:
    // The shape, kernels and precision: bfloat16 where it is wanted and its road runs here.
    static PackedWeights shaped(size_t out, size_t in, Precision wanted, const KernelTable& kernels,
                                BfloatRoad road);

    size_t in_ = 0, out_ = 0, paddedIn_ = 0;
    Precision precision_ = Precision::float32;
    WeightStorage storage_ = WeightStorage::half;
    BfloatRoad road_ = BfloatRoad::none;
    const KernelTable* kernels_ = nullptr;
    std::vector<uint16_t> data_;
    std::vector<int8_t> bytes_;
    std::vector<float> scales_;
};

/// float -> bfloat16 bits, round to nearest even (NaN stays NaN).
uint16_t floatToBfloat16(float value);

} // namespace ml::kernels
