// HalfGemv kernels for generic: the bodies are shared (HalfGemv.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
// (no instruction-set define: the portable scalar variant)

#include "Platform/ML/Kernels/HalfPrecision/HalfGemv.inl"

namespace ml::kernels {

void fillHalfGemv_generic(KernelTable& table) {
    generic::fillHalfGemv(table);
}

} // namespace ml::kernels
