#pragma once
// Linear layers on the processor's matrix tiles (AMX): bfloat16 products summed in float32, 16 x 16
// result tiles from 16 x 32 operand tiles.

#include <cstddef>
#include <cstdint>

namespace ml::kernels {

class PackedWeights;

/// Whether the processor has the bfloat16 tiles and the system lets this process use them (Linux hands
/// out the tile state per process on request; asked once).
bool amxAvailable();

/// y[rows, out] = x[rows, in] W^T + bias (bias may be null), added to y with `accumulate`, GELU after
/// with `gelu`; W packed with Precision::bfloat16. Runs on the calling thread.
void amxLinearRows(const float* x, size_t rows, const PackedWeights& W, size_t columnBegin, size_t columnEnd,
                   const float* bias, float* y, bool accumulate, bool gelu);

} // namespace ml::kernels
