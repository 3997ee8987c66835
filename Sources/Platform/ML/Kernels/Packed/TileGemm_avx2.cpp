// The matrix tile for avx2: the body is shared (TileGemm.inl); this file names the instruction set and
// the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX2 1

#include "Platform/ML/Kernels/Packed/TileGemm.inl"

namespace ml::kernels {

void fillTileGemm_avx2(KernelTable& table) {
    avx2::fillTileGemm(table);
}

} // namespace ml::kernels
