// The float32 attention kernel for avx512: the body is shared (AttentionBlock.inl); this file names the
// instruction set and the build compiles it with that instruction set enabled.
#define VELMORA_ISA_AVX512 1

#include "Platform/ML/Kernels/Attention/AttentionBlock.inl"

namespace ml::kernels {

void fillAttentionBlock_avx512(KernelTable& table) {
    avx512::fillAttentionBlock(table);
}

} // namespace ml::kernels
