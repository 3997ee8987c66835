#include "Platform/ML/Kernels/Packed/PanelSlice.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"

#include <stdexcept>
#include <type_traits>

namespace ml::kernels {

template <class Compute>
const Compute* panelSlice(const PackedWeights& W, size_t panel, size_t k0, size_t depth, Compute* scratch) {
    constexpr bool floats = std::is_same_v<Compute, float>;
    switch (W.storage()) {
    case WeightStorage::half:
        if constexpr (floats) {
            const size_t width = W.kernels().gemmPanelWidth;
            W.kernels().halfToFloat(W.halfPanel(panel) + k0 * width, scratch, depth * width);
            return scratch;
        }
        break;
    case WeightStorage::bfloat16:
        if constexpr (!floats)
            return W.bfloat16Panel(panel) + k0 * PackedWeights::kBfloatPanelWidth;
        break;
    case WeightStorage::int8:
        if constexpr (floats) {
            const size_t width = W.kernels().gemmPanelWidth;
            W.kernels().int8WidenPanel(W.int8Panel(panel) + k0 * width, W.int8Scales(panel), width, depth,
                                       scratch);
        } else {
            W.kernels().int8WidenBfloat16(W.int8Panel(panel) + k0 * PackedWeights::kBfloatPanelWidth,
                                          W.int8Scales(panel), depth / 2, scratch);
        }
        return scratch;
    }
    (void)scratch;
    throw std::logic_error("packed weights read by a road their storage does not serve");
}

template const float* panelSlice<float>(const PackedWeights&, size_t, size_t, size_t, float*);
template const uint16_t* panelSlice<uint16_t>(const PackedWeights&, size_t, size_t, size_t, uint16_t*);

} // namespace ml::kernels
