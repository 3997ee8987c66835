#pragma once
// Which instructions run the bfloat16 products (bfloat16 operands, float32 sums): chosen once per process
// by what the processor has, the matrix tiles before the vector dot products.

namespace ml::kernels {

enum class BfloatRoad {
    /// Neither: reduced-precision requests run in float32.
    none,
    /// AVX-512 BF16 vector dot products (vdpbf16ps).
    vectors,
    /// AMX bfloat16 matrix tiles.
    tiles,
};

/// Whether this processor (and system) runs the road; `none` always runs.
bool bfloatRoadAvailable(BfloatRoad road);

/// The best road this processor runs: tiles, then vectors, then none (asked once).
BfloatRoad bestBfloatRoad();

/// A short name for logs and benchmark labels.
const char* bfloatRoadName(BfloatRoad road);

} // namespace ml::kernels
