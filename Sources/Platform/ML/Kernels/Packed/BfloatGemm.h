#pragma once
// Linear layers on AVX-512 BF16 vector dot products (vdpbf16ps: bfloat16 operand pairs, float32 sums), for
// processors without matrix tiles: a 12 x 32 register tile over weights packed for BfloatRoad::vectors
// (32-column panels of input pairs), run by the same driver as the float32 tile (TileDriver.h). The kernels
// live in BfloatGemm_avx512bf16.cpp and run only where bfloatRoadAvailable(BfloatRoad::vectors).

#include <cstddef>
#include <cstdint>

namespace ml::kernels {

class PackedWeights;

constexpr size_t kBfloatTileRows = 12;

/// Packs `rows` (at most kBfloatTileRows, row stride ldx) of `depth` inputs as bfloat16 pairs, step-major:
/// packed[p * kBfloatTileRows + r] holds row r's inputs 2p (low half) and 2p + 1; zero past `rows` and past
/// `depth` (an odd depth's last pair).
void bfloatPackRows(const float* x, size_t ldx, size_t rows, size_t depth, uint32_t* packed);

/// C[kBfloatTileRows, 32] (row stride ldc) = (load ? C : 0) + A B over `pairs` input pairs: A as packed by
/// bfloatPackRows, B as a panel slice of the bfloat16 roads (64 values per pair).
void bfloatPackedTile(size_t pairs, const uint32_t* a, const uint16_t* b, float* c, size_t ldc, bool load);

/// As floatLinearPart (FloatGemm.h), for W packed with Precision::bfloat16 on BfloatRoad::vectors.
void bfloatLinearPart(const float* x, const PackedWeights& W, size_t r0, size_t r1, size_t c0, size_t c1,
                      const float* bias, float* y, bool accumulate, bool gelu);

} // namespace ml::kernels
