// Elementwise kernels for generic; the bodies are shared (Elementwise.inl), the instruction set comes from
// this file's compile flags.
#include "Platform/ML/Kernels/Elementwise.inl"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"

namespace ml::kernels {

void fillElementwise_generic(KernelTable& table) {
    generic::fillElementwise(table);
}

} // namespace ml::kernels
