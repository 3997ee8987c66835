// The matrix tile for avx512: the body is shared (TileGemm.inl); this file names the instruction set and
// the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/Packed/TileGemm.inl"

namespace ml::kernels {

void fillTileGemm_avx512(KernelTable& table) {
    avx512::fillTileGemm(table);
}

} // namespace ml::kernels
