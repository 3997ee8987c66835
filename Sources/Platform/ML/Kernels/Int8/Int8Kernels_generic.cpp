// Int8 kernels for generic: the bodies are shared (Int8Kernels.inl); this file names the instruction set
// and the build compiles it with that instruction set enabled.
// (no instruction-set define: the portable scalar variant)

#include "Platform/ML/Kernels/Int8/Int8Kernels.inl"

namespace ml::kernels {

void fillInt8Kernels_generic(KernelTable& table) {
    generic::fillInt8Kernels(table);
}

} // namespace ml::kernels
