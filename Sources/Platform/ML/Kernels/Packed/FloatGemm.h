#pragma once
// Linear layers on the float32 register tile, one part of the output per pool task. Per slice of inputs,
// a block's activation rows are packed once (step-major, one contiguous micro-panel per tile) and stream
// from L2, while each weight panel, widened from halves once, stays in L1 for all of the block's tiles.

#include <cstddef>

namespace ml::kernels {

class PackedWeights;

/// y[r0:r1, c0:c1] = x[r0:r1, :] W^T + bias (bias may be null), added to y with `accumulate`, GELU after
/// with `gelu`; W packed with Precision::float32, c0 on a panel boundary. Runs on the calling thread.
void floatLinearPart(const float* x, const PackedWeights& W, size_t r0, size_t r1, size_t c0, size_t c1,
                     const float* bias, float* y, bool accumulate, bool gelu);

} // namespace ml::kernels
