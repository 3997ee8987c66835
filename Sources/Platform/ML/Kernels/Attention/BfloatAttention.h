#pragma once
// Attention on AVX-512 BF16 vector dot products (vdpbf16ps): both products with bfloat16 operand pairs and
// float32 sums, the online soft-max between them in float32; for processors without matrix tiles.

#include "Platform/ML/Kernels/Attention/Attention.h"

namespace ml::kernels {

/// As attention(), for head sizes that are multiples of 32, where bfloatRoadAvailable(BfloatRoad::vectors).
void bfloatAttention(const AttentionArgs& args);

} // namespace ml::kernels
