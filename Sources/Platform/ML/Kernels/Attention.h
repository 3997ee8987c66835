#pragma once
// Multi-head scaled dot-product attention over float [tokens, heads * headSize] matrices (the
// encoder's self-attention; the decoder's per-token attention lives with the decoder kind).
// Work is split into (head, block of 128 queries) tasks on the thread pool; each task keeps its block's
// scores in cache between the two products.

#include <cstddef>

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
};

void attention(const AttentionArgs& args);

} // namespace ml::kernels
