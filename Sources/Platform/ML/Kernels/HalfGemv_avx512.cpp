// HalfGemv kernels for avx512; the bodies are shared (HalfGemv.inl), the instruction set comes from this
// file's compile flags.
#include "Platform/ML/Kernels/HalfGemv.inl"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Simd.h"

namespace ml::kernels {

void fillHalfGemv_avx512(KernelTable& table) {
    avx512::fillHalfGemv(table);
}

} // namespace ml::kernels
