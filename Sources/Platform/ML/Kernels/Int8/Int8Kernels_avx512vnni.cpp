// Int8 kernels for AVX-512 with VNNI: the AVX-512 bodies (Int8Kernels.inl) with the products summed by
// vpdpwssd; the build compiles this file with VNNI enabled.
#define VELMORA_ISA_AVX512 1
#define VELMORA_INT8_VNNI 1

#include "Platform/ML/Kernels/Int8/Int8Kernels.inl"

namespace ml::kernels {

void fillInt8Kernels_avx512vnni(KernelTable& table) {
    avx512::fillInt8Kernels(table);
}

} // namespace ml::kernels
