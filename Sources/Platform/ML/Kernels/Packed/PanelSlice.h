#pragma once
// The one place where the product drivers read weights: a slice of a packed panel in the compute type of
// the road that reads it, pointed to where the weights are stored in that type and widened into the
// caller's scratch memory where they are stored narrower. The tile loops never see how weights are stored.

#include <cstddef>
#include <cstdint>

namespace ml::kernels {

class PackedWeights;

/// Panel `panel`'s inputs [k0, k0 + depth), for the compute type of a road:
/// - float: the float32 road (gemmPanelWidth columns): depth rows of gemmPanelWidth floats; scratch room
///   for depth * gemmPanelWidth floats.
/// - uint16_t: the bfloat16 roads (kBfloatPanelWidth = 32 columns; k0 and depth even, k0 + depth within
///   paddedIn()): depth / 2 rows of the 32 columns' input pairs (64 bfloat16 bits); scratch room for
///   depth * 32 values.
/// Throws std::logic_error for a compute type the storage does not serve.
///
/// To add a storage type: a WeightStorage value, its packing in PackedWeights::pack, and one case in this
/// function's switch (PanelSlice.cpp) that widens a slice into `scratch` for each compute type it serves
/// (through a kernel-table entry per instruction set: it runs once per slice and panel, inside the
/// products). Drivers already call this once per slice and panel, and reuse the slice for all their rows.
template <class Compute>
const Compute* panelSlice(const PackedWeights& W, size_t panel, size_t k0, size_t depth, Compute* scratch);

extern template const float* panelSlice<float>(const PackedWeights&, size_t, size_t, size_t, float*);
extern template const uint16_t* panelSlice<uint16_t>(const PackedWeights&, size_t, size_t, size_t, uint16_t*);

} // namespace ml::kernels
