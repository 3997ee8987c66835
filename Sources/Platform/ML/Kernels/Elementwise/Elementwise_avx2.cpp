// Elementwise kernels for avx2: the bodies are shared (Elementwise.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX2 1

#include "Platform/ML/Kernels/Elementwise/Elementwise.inl"

namespace ml::kernels {

void fillElementwise_avx2(KernelTable& table) {
    avx2::fillElementwise(table);
}

} // namespace ml::kernels
