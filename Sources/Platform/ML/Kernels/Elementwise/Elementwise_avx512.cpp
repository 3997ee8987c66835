// Elementwise kernels for avx512: the bodies are shared (Elementwise.inl); this file names the instruction
// set and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/Elementwise/Elementwise.inl"

namespace ml::kernels {

void fillElementwise_avx512(KernelTable& table) {
    avx512::fillElementwise(table);
}

} // namespace ml::kernels
