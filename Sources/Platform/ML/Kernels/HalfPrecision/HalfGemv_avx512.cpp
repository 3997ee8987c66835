// HalfGemv kernels for avx512: the bodies are shared (HalfGemv.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/HalfPrecision/HalfGemv.inl"

namespace ml::kernels {

void fillHalfGemv_avx512(KernelTable& table) {
    avx512::fillHalfGemv(table);
}

} // namespace ml::kernels
