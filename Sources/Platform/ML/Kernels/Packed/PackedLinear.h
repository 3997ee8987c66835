#pragma once
// Linear layers over packed weights, spread over the thread pool in blocks of rows and columns that
// fit the caches: each task packs its block of activations once per slice of the input and runs the
// register tile (float32) or the matrix tiles (bfloat16) over it.

#include "Platform/ML/Kernels/Packed/PackedWeights.h"

#include <cstddef>

namespace ml::kernels {

enum class Epilogue { none, gelu };

/// y[rows, W.out()] = x[rows, W.in()] W^T + bias (bias may be null); with `accumulate`, added to y
/// (residual connections). The epilogue runs on each block while it is still in cache.
void packedLinear(const float* x, size_t rows, const PackedWeights& W, const float* bias, float* y,
                  bool accumulate = false, Epilogue epilogue = Epilogue::none);

} // namespace ml::kernels
