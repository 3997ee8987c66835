// The float32 attention kernel for avx2: the body is shared (AttentionBlock.inl); this file names the
// instruction set and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX2 1

#include "Platform/ML/Kernels/Attention/AttentionBlock.inl"

namespace ml::kernels {

void fillAttentionBlock_avx2(KernelTable& table) {
    avx2::fillAttentionBlock(table);
}

} // namespace ml::kernels
