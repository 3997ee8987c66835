// Reduction kernels for generic: the bodies are shared (Reduction.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
// (no instruction-set define: the portable scalar variant)

#include "Platform/ML/Kernels/Elementwise/Reduction.inl"

namespace ml::kernels {

void fillReduction_generic(KernelTable& table) {
    generic::fillReduction(table);
}

} // namespace ml::kernels
