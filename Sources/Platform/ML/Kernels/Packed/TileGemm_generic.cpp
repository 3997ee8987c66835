// The matrix tile for generic: the body is shared (TileGemm.inl); this file names the instruction set and
// the build compiles it with that instruction set enabled.
// (no instruction-set define: the portable scalar variant)

#include "Platform/ML/Kernels/Packed/TileGemm.inl"

namespace ml::kernels {

void fillTileGemm_generic(KernelTable& table) {
    generic::fillTileGemm(table);
}

} // namespace ml::kernels
