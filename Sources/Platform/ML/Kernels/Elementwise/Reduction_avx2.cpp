// Reduction kernels for avx2: the bodies are shared (Reduction.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX2 1

#include "Platform/ML/Kernels/Elementwise/Reduction.inl"

namespace ml::kernels {

void fillReduction_avx2(KernelTable& table) {
    avx2::fillReduction(table);
}

} // namespace ml::kernels
