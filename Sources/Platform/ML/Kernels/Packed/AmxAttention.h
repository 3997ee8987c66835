#pragma once
// Attention on the matrix tiles: both products in bfloat16 with float32 sums, the soft-max in float32.

#include "Platform/ML/Kernels/Attention/Attention.h"

namespace ml::kernels {

/// As attention(), for head sizes that are multiples of 32, where amxAvailable().
void amxAttention(const AttentionArgs& args);

} // namespace ml::kernels
