// Reduction kernels for avx512: the bodies are shared (Reduction.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/Elementwise/Reduction.inl"

namespace ml::kernels {

void fillReduction_avx512(KernelTable& table) {
    avx512::fillReduction(table);
}

} // namespace ml::kernels
