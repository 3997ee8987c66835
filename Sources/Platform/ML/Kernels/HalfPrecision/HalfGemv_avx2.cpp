// HalfGemv kernels for avx2: the bodies are shared (HalfGemv.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX2 1

#include "Platform/ML/Kernels/HalfPrecision/HalfGemv.inl"

namespace ml::kernels {

void fillHalfGemv_avx2(KernelTable& table) {
    avx2::fillHalfGemv(table);
}

} // namespace ml::kernels
