#pragma once
// Multi-head scaled dot-product attention over float [tokens, heads * headSize] matrices (the
// encoder's self-attention; the decoder's per-token attention lives with the decoder kind).
// Fused per block of queries: each (head, block of 96 queries) task walks the keys in blocks with an online
// soft-max (AttentionBlock.inl), so only one block's scores of one tile of queries are ever in memory (in
// L1). Keys and values are laid out for the kernels once per call.

#include <cstddef>

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"

namespace ml::kernels {

struct AttentionArgs {
    const float* q;
    size_t ldq;
    const float* k;
    size_t ldk;
    const float* v;
    size_t ldv;
    float* out;
    size_t ldo;
    size_t queries;
    size_t keys;
    size_t heads;
    size_t headSize = 64;
    /// Query i sees keys j <= i + (keys - queries) only.
    bool causal = false;
    /// Optional additive mask over keys (0 to see, a large negative value or -inf to hide).
    const float* keyMask = nullptr;
    /// The kernels to run on (the processor's best when null).
    const KernelTable* kernels = nullptr;
    /// bfloat16 runs both products with bfloat16 operands on `road` (head sizes that are multiples of 32),
    /// float32 where that road does not run.
    Precision precision = Precision::float32;
    BfloatRoad road = bestBfloatRoad();
};

void attention(const AttentionArgs& args);

} // namespace ml::kernels
