// HalfGemv kernels for generic; the bodies are shared (HalfGemv.inl), the instruction set comes from this
// file's compile flags.
#include "Platform/ML/Kernels/HalfGemv.inl"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"

namespace ml::kernels {

void fillHalfGemv_generic(KernelTable& table) {
    generic::fillHalfGemv(table);
}

} // namespace ml::kernels
