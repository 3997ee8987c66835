// Products over packed weights, for every register tile this processor runs and for the matrix tiles
// where present, against naive double-precision references at sizes that leave tails in every block.
#include "KernelTestSupport.h"
#include "Platform/ML/Files/SafeTensorsFile.h"
#include "Platform/ML/Files/SafeTensorsWriter.h"
#include "Platform/ML/Files/TransformerWeights.h"
#include "Platform/ML/Kernels/Elementwise/Elementwise.h"
#include "Platform/ML/Kernels/Packed/BfloatGemm.h"
#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Kernels/Packed/PanelSlice.h"
#include "Platform/ML/Kernels/ThreadPool.h"
#include "Support/TestSupport.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace ml::kernels;
using namespace kerneltest;

namespace {

// Weights as a half-precision checkpoint holds them: the float32 path must then be exact up to sums.
std::vector<float> halfRepresentable(std::vector<float> values) {
    std::vector<uint16_t> halves(values.size());
    floatToHalf(values.data(), halves.data(), values.size());
    halfToFloat(halves.data(), values.data(), values.size());
    return values;
}

struct Shape {
    size_t rows, in, out;
};

// Tails after the register tile (12, 6 or 4 rows; 32, 16 or 4 columns), the matrix tiles (32 x 32, depth
// 32), the 256-input slices and the row and column blocks; and a product too small to split.
const Shape kShapes[] = {{1, 1, 1}, {13, 31, 33}, {197, 257, 100}, {250, 600, 530}, {33, 70, 2}};

struct Reference {
    std::vector<float> x, W, bias, residual;
    std::vector<double> product;
};

Reference referenceFor(const Shape& s, unsigned seed) {
    Reference r;
    r.x = randomVector(s.rows * s.in, seed);
    r.W = halfRepresentable(randomVector(s.out * s.in, seed + 1, 1.0f / std::sqrt(float(s.in))));
    r.bias = randomVector(s.out, seed + 2);
    r.residual = randomVector(s.rows * s.out, seed + 3);
    r.product = naiveGemm(false, true, s.rows, s.out, s.in, r.x.data(), s.in, r.W.data(), s.in);
    return r;
}

// Every form a layer takes: plain, with bias and GELU, and added to a residual.
void expectLinearForms(const PackedWeights& W, const Shape& s, const Reference& r, double tolerance,
                       const std::string& what) {
    std::vector<float> y(s.rows * s.out, 7.0f);
    packedLinear(r.x.data(), s.rows, W, nullptr, y.data());
    for (size_t i = 0; i < y.size(); ++i)
        ASSERT_NEAR(y[i], r.product[i], tolerance) << what << " plain at " << i;
    packedLinear(r.x.data(), s.rows, W, r.bias.data(), y.data(), false, Epilogue::gelu);
    for (size_t i = 0; i < y.size(); ++i)
        ASSERT_NEAR(y[i], naiveGelu(r.product[i] + r.bias[i % s.out]), tolerance) << what << " gelu at " << i;
    auto sum = r.residual;
    packedLinear(r.x.data(), s.rows, W, r.bias.data(), sum.data(), true);
    for (size_t i = 0; i < sum.size(); ++i)
        ASSERT_NEAR(sum[i], r.residual[i] + r.product[i] + r.bias[i % s.out], tolerance)
            << what << " accumulated at " << i;
}

std::string describe(const Shape& s) {
    return std::to_string(s.rows) + "x" + std::to_string(s.in) + "->" + std::to_string(s.out);
}

} // namespace

TEST(PackedLinear, EveryRegisterTileMatchesTheReferenceWithTails) {
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        const KernelTable* table = kernelsFor(isa);
        if (!table)
            continue;
        for (const Shape& s : kShapes) {
            const Reference r = referenceFor(s, 31);
            const auto W = PackedWeights::pack(r.W.data(), s.out, s.in, Precision::float32, *table);
            ASSERT_EQ(W.precision(), Precision::float32);
            expectLinearForms(W, s, r, 2e-4, std::string(table->name) + " " + describe(s));
        }
    }
}

TEST(PackedLinear, PackedRowsAndTheirTileMatchTheReferenceOnEveryInstructionSet) {
    std::string untested;
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        const KernelTable* table = kernelsFor(isa);
        if (!table) {
            untested += untested.empty() ? "" : ", ";
            untested += isa == Isa::avx2 ? "avx2" : "avx512";
            continue;
        }
        const size_t mr = table->gemmTileRows, nr = table->gemmPanelWidth, ldx = 41, ldc = nr + 3;
        // Depths around the transpose's 16 steps and the tile's four-step loop; partial row counts.
        for (size_t depth : {1, 3, 4, 5, 16, 17, 37}) {
            for (size_t rows : {size_t(1), mr - 1, mr}) {
                const std::string what = std::string(table->name) + " depth " + std::to_string(depth) +
                                         " rows " + std::to_string(rows);
                const auto x = randomVector(rows * ldx, unsigned(depth * 7 + rows));
                std::vector<float> packed(mr * depth, 9.0f);
                table->gemmPackRows(x.data(), ldx, rows, depth, packed.data());
                for (size_t k = 0; k < depth; ++k)
                    for (size_t r = 0; r < mr; ++r)
                        ASSERT_EQ(packed[k * mr + r], r < rows ? x[r * ldx + k] : 0.0f) << what;
                const auto b = randomVector(depth * nr, unsigned(depth + 100));
                const auto start = randomVector(mr * ldc, unsigned(depth + 200));
                for (bool load : {false, true}) {
                    auto c = start;
                    table->gemmPackedTile(depth, packed.data(), b.data(), c.data(), ldc, load);
                    for (size_t r = 0; r < mr; ++r) {
                        for (size_t j = 0; j < ldc; ++j) {
                            double expected = j >= nr ? start[r * ldc + j] : load ? start[r * ldc + j] : 0.0;
                            for (size_t k = 0; j < nr && k < depth; ++k)
                                expected += double(packed[k * mr + r]) * b[k * nr + j];
                            ASSERT_NEAR(c[r * ldc + j], expected, 1e-4) << what << " load " << load;
                        }
                    }
                }
            }
        }
    }
    if (!untested.empty())
        std::printf("[   NOTE   ] not tested, this processor does not run them: %s\n", untested.c_str());
}

TEST(PackedLinear, ProductsOverSeveralBlocksOfRowsAndColumnsMatchTheReference) {
    // More than a block of register tiles (16) and of columns (1024): parts cut into several blocks.
    const Shape s{400, 300, 1090};
    const Reference r = referenceFor(s, 57);
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512})
        if (const KernelTable* table = kernelsFor(isa))
            expectLinearForms(PackedWeights::pack(r.W.data(), s.out, s.in, Precision::float32, *table), s, r,
                              2e-4, std::string(table->name) + " " + describe(s));
}

TEST(PackedLinear, HalfPanelsTakeHalfTheMemoryOfFloats) {
    const size_t out = 64, in = 256;
    const auto values = randomVector(out * in, 5);
    const auto W = PackedWeights::pack(values.data(), out, in, Precision::float32);
    EXPECT_EQ(W.byteCount(), out * in * 2); // 64 is whole panels for every variant
}

TEST(PackedLinear, PanelSlicesReadEachStorageInItsRoadsComputeType) {
    // 70 columns: a partial last panel on every road; 45 inputs: an odd count, padded on the bfloat16 roads.
    const size_t out = 70, in = 45;
    const auto values = halfRepresentable(randomVector(out * in, 8));
    const auto half = PackedWeights::pack(values.data(), out, in, Precision::float32);
    ASSERT_EQ(half.storage(), WeightStorage::half);
    const size_t width = half.kernels().gemmPanelWidth, k0 = 7, depth = 30;
    std::vector<float> floats(depth * width, NAN);
    for (size_t p = 0; p < blocksOf(out, width); ++p) {
        const float* slice = panelSlice(half, p, k0, depth, floats.data());
        for (size_t k = 0; k < depth; ++k)
            for (size_t j = 0; j < width; ++j) {
                const size_t column = p * width + j;
                ASSERT_EQ(slice[k * width + j], column < out ? values[column * in + k0 + k] : 0.0f) << p;
            }
    }
    std::vector<uint16_t> pairs(64 * 32);
    EXPECT_THROW(panelSlice(half, 0, 0, 32, pairs.data()), std::logic_error);
    for (BfloatRoad road : {BfloatRoad::vectors, BfloatRoad::tiles}) {
        if (!bfloatRoadAvailable(road)) {
            std::printf("[   NOTE   ] not tested, this processor does not run it: %s\n",
                        bfloatRoadName(road));
            continue;
        }
        const auto reduced =
            PackedWeights::pack(values.data(), out, in, Precision::bfloat16, activeKernels(), road);
        ASSERT_EQ(reduced.storage(), WeightStorage::bfloat16);
        ASSERT_EQ(reduced.paddedIn(), 64u);
        for (size_t p = 0; p < 3; ++p) {
            const uint16_t* slice = panelSlice(reduced, p, 16, 48, pairs.data());
            for (size_t k = 0; k < 48; ++k)
                for (size_t j = 0; j < 32; ++j) {
                    const size_t column = p * 32 + j, input = 16 + k;
                    const float expected = column < out && input < in ? values[column * in + input] : 0.0f;
                    ASSERT_EQ(slice[(k / 2) * 64 + j * 2 + k % 2], floatToBfloat16(expected)) << p;
                }
        }
        EXPECT_THROW(panelSlice(reduced, 0, 0, 32, floats.data()), std::logic_error);
    }
}

TEST(PackedLinear, BfloatRoadsMatchTheReferenceWithinTheirPrecision) {
    for (BfloatRoad road : {BfloatRoad::vectors, BfloatRoad::tiles}) {
        if (!bfloatRoadAvailable(road)) {
            std::printf("[   NOTE   ] not tested, this processor does not run it: %s\n",
                        bfloatRoadName(road));
            continue;
        }
        for (const Shape& s : kShapes) {
            const Reference r = referenceFor(s, 41);
            const auto W =
                PackedWeights::pack(r.W.data(), s.out, s.in, Precision::bfloat16, activeKernels(), road);
            ASSERT_EQ(W.precision(), Precision::bfloat16);
            ASSERT_EQ(W.road(), road);
            // Both operands rounded to 8 significant bits: |error| ~ 2^-8 * sqrt(in) * |x| |w|, with |w| ~
            // 1/sqrt(in).
            expectLinearForms(W, s, r, 3e-2, std::string(bfloatRoadName(road)) + " " + describe(s));
        }
        // More than a block of register tiles and of columns, and more than one slice of inputs.
        const Shape large{400, 1100, 1090};
        const Reference r = referenceFor(large, 43);
        expectLinearForms(
            PackedWeights::pack(r.W.data(), large.out, large.in, Precision::bfloat16, activeKernels(), road),
            large, r, 3e-2, std::string(bfloatRoadName(road)) + " " + describe(large));
    }
}

TEST(PackedLinear, BfloatPairTileAndItsPackingMatchTheReferenceOnRoundedOperands) {
    if (!bfloatRoadAvailable(BfloatRoad::vectors)) {
        std::printf("[   NOTE   ] not tested, this processor does not run it: %s\n",
                    bfloatRoadName(BfloatRoad::vectors));
        return;
    }
    const size_t mr = kBfloatTileRows, ldx = 71, ldc = 35;
    auto bits = [](float v) { return uint32_t(floatToBfloat16(v)); };
    auto value = [](uint32_t half) {
        const uint32_t word = half << 16;
        float v;
        std::memcpy(&v, &word, 4);
        return v;
    };
    // Depths around the 32-input conversion, odd ones (a half-filled last pair) and the four-step loop.
    for (size_t depth : {1, 2, 7, 31, 32, 33, 66}) {
        for (size_t rows : {size_t(1), mr - 1, mr}) {
            const std::string what = "depth " + std::to_string(depth) + " rows " + std::to_string(rows);
            const auto x = randomVector(rows * ldx, unsigned(depth * 7 + rows));
            const size_t pairs = (depth + 1) / 2;
            std::vector<uint32_t> packed(mr * pairs, 0xDEADBEEF);
            bfloatPackRows(x.data(), ldx, rows, depth, packed.data());
            for (size_t p = 0; p < pairs; ++p)
                for (size_t r = 0; r < mr; ++r) {
                    const uint32_t low = r < rows ? bits(x[r * ldx + 2 * p]) : 0;
                    const uint32_t high = r < rows && 2 * p + 1 < depth ? bits(x[r * ldx + 2 * p + 1]) : 0;
                    ASSERT_EQ(packed[p * mr + r], low | high << 16) << what << " pair " << p << " row " << r;
                }
            std::vector<uint16_t> b(pairs * 64);
            const auto weights = randomVector(b.size(), unsigned(depth + 100));
            for (size_t i = 0; i < b.size(); ++i)
                b[i] = floatToBfloat16(weights[i]);
            const auto start = randomVector(mr * ldc, unsigned(depth + 200));
            for (bool load : {false, true}) {
                auto c = start;
                bfloatPackedTile(pairs, packed.data(), b.data(), c.data(), ldc, load);
                for (size_t r = 0; r < mr; ++r)
                    for (size_t j = 0; j < ldc; ++j) {
                        double expected = j >= 32 || load ? start[r * ldc + j] : 0.0;
                        for (size_t p = 0; j < 32 && p < pairs; ++p)
                            for (size_t h = 0; h < 2; ++h)
                                expected += double(value((packed[p * mr + r] >> (16 * h)) & 0xFFFF)) *
                                            value(b[p * 64 + j * 2 + h]);
                        ASSERT_NEAR(c[r * ldc + j], expected, 1e-4) << what << " load " << load;
                    }
            }
        }
    }
}

TEST(PackedLinear, BfloatRequestFallsBackToFloatWhereItsRoadDoesNotRun) {
    const auto values = halfRepresentable(randomVector(40 * 24, 6));
    const auto best = PackedWeights::pack(values.data(), 40, 24, Precision::bfloat16);
    EXPECT_EQ(best.road(), bestBfloatRoad());
    EXPECT_EQ(best.precision(),
              bestBfloatRoad() == BfloatRoad::none ? Precision::float32 : Precision::bfloat16);
    for (BfloatRoad road : {BfloatRoad::none, BfloatRoad::vectors, BfloatRoad::tiles}) {
        const auto W = PackedWeights::pack(values.data(), 40, 24, Precision::bfloat16, activeKernels(), road);
        const bool runs = road != BfloatRoad::none && bfloatRoadAvailable(road);
        EXPECT_EQ(W.precision(), runs ? Precision::bfloat16 : Precision::float32) << bfloatRoadName(road);
        EXPECT_EQ(W.storage(), runs ? WeightStorage::bfloat16 : WeightStorage::half) << bfloatRoadName(road);
    }
}

TEST(PackedLinear, OnlyCpuOnlyAndUnknownComputeUnitsAskForExactProducts) {
    EXPECT_EQ(ml::productPrecision(ml::ComputeUnits::cpuOnly), Precision::float32);
    EXPECT_EQ(ml::productPrecision(static_cast<ml::ComputeUnits>(42)), Precision::float32);
    for (auto units : {ml::ComputeUnits::cpuAndGPU, ml::ComputeUnits::all, ml::ComputeUnits::cpuAndNeuralEngine})
        EXPECT_EQ(ml::productPrecision(units), Precision::bfloat16);
}

TEST(PackedLinear, BfloatRoundsToNearestEven) {
    EXPECT_EQ(floatToBfloat16(1.0f), 0x3F80);
    EXPECT_EQ(floatToBfloat16(-2.0f), 0xC000);
    // 1 + 2^-8 lies halfway between 1 and 1 + 2^-7: ties go to the even 1.
    EXPECT_EQ(floatToBfloat16(1.00390625f), 0x3F80);
    EXPECT_EQ(floatToBfloat16(1.01171875f), 0x3F82); // halfway above an odd mantissa: up
    EXPECT_EQ(floatToBfloat16(1.005f), 0x3F81);
    EXPECT_EQ(floatToBfloat16(INFINITY), 0x7F80);
    const uint16_t nan = floatToBfloat16(NAN);
    EXPECT_EQ(nan & 0x7F80, 0x7F80);
    EXPECT_NE(nan & 0x7F, 0);
}

TEST(PackedLinear, WeightsReadFromAFileStackInOrderForEveryElementTypeAndSurviveReleasedPages) {
    // Query (half), key (float) and value (double: converted) stacked into one product, as the encoder
    // reads them; the file's pages are let go in between, as loading does.
    const size_t out = 20, in = 37;
    std::vector<std::vector<float>> parts;
    ml::SafeTensorsWriter writer;
    const ml::MultiArrayDataType types[] = {ml::MultiArrayDataType::Float16, ml::MultiArrayDataType::Float32,
                                            ml::MultiArrayDataType::Float64};
    for (size_t p = 0; p < 3; ++p) {
        parts.push_back(halfRepresentable(randomVector(out * in, 50 + unsigned(p))));
        ml::MultiArray values({int64_t(out), int64_t(in)}, ml::MultiArrayDataType::Float32);
        std::copy(parts[p].begin(), parts[p].end(), values.elements<float>().begin());
        writer.add("part" + std::to_string(p), values.converted(types[p]));
    }
    testsupport::TemporaryDirectory folder;
    writer.write(folder / "weights.safetensors");
    const auto file = ml::SafeTensorsFile::open(folder / "weights.safetensors");
    file->releaseReadPages(); // nothing read yet
    const auto packed = ml::readPacked(*file, {"part0", "part1", "part2"}, {int64_t(out), int64_t(in)},
                                       Precision::float32);
    file->releaseReadPages();
    ASSERT_EQ(packed.out(), 3 * out);
    std::vector<float> stacked;
    for (const auto& part : parts)
        stacked.insert(stacked.end(), part.begin(), part.end());
    const auto expected = PackedWeights::pack(stacked.data(), 3 * out, in, Precision::float32);
    const auto x = randomVector(5 * in, 60);
    std::vector<float> y(5 * 3 * out), z(5 * 3 * out);
    packedLinear(x.data(), 5, packed, nullptr, y.data());
    packedLinear(x.data(), 5, expected, nullptr, z.data());
    EXPECT_EQ(y, z);
    // A tensor read after its pages were let go reads the same.
    EXPECT_EQ(file->array("part1").toFloats(), parts[1]);
    EXPECT_THROW(ml::readPacked(*file, {"part0"}, {int64_t(out), int64_t(in + 1)}, Precision::float32),
                 std::exception);
}
