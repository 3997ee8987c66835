// Elementwise kernels for generic: the bodies are shared (Elementwise.inl); this file names the instruction
// set and the build compiles it with that instruction set enabled. (no instruction-set define: the portable
// scalar variant)

#include "Platform/ML/Kernels/Elementwise/Elementwise.inl"

namespace ml::kernels {

void fillElementwise_generic(KernelTable& table) {
    generic::fillElementwise(table);
}

} // namespace ml::kernels
