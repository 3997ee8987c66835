// Int8 kernels for avx2: the bodies are shared (Int8Kernels.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX2 1

#include "Platform/ML/Kernels/Int8/Int8Kernels.inl"

namespace ml::kernels {

void fillInt8Kernels_avx2(KernelTable& table) {
    avx2::fillInt8Kernels(table);
}

} // namespace ml::kernels
