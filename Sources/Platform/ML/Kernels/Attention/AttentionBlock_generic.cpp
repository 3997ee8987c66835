// The float32 attention kernel for generic: the body is shared (AttentionBlock.inl); this file names the
// instruction set and the build compiles it with that instruction set enabled.
// (no instruction-set define: the portable scalar variant)

#include "Platform/ML/Kernels/Attention/AttentionBlock.inl"

namespace ml::kernels {

void fillAttentionBlock_generic(KernelTable& table) {
    generic::fillAttentionBlock(table);
}

} // namespace ml::kernels
