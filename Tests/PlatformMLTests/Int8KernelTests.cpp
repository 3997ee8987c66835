// The 8-bit kernels of every variant this processor runs: the per-token product against an exact integer
// reference (same bits on every variant), the activations' quantisation, the panel widening, and packed
// 8-bit weights through the encoder's products.
#include "KernelTestSupport.h"
#include "Platform/ML/Files/WeightType.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/BfloatRoad.h"
#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace ml::kernels;
using namespace kerneltest;

namespace {

// The tables to test; those this processor cannot run are named once.
std::vector<const KernelTable*> int8Tables() {
    std::vector<const KernelTable*> tables;
    std::string untested;
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512, Isa::avx512vnni}) {
        if (const KernelTable* t = kernelsFor(isa))
            tables.push_back(t);
        else
            untested += std::string(untested.empty() ? "" : ", ") + (isa == Isa::avx2     ? "avx2"
                                                                     : isa == Isa::avx512 ? "avx512"
                                                                                          : "avx512vnni");
    }
    if (!untested.empty())
        std::printf("[   NOTE   ] not tested, this processor does not run them: %s\n", untested.c_str());
    return tables;
}

std::vector<int8_t> randomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-128, 127);
    std::vector<int8_t> bytes(n);
    for (auto& b : bytes)
        b = int8_t(value(random));
    return bytes;
}

} // namespace

TEST(Int8Kernels, RowProductsAreTheExactIntegerDotOnEveryVariant) {
    // Lengths with tails after every vector body, one past two integer blocks, and one whose extremes
    // overflow a 32-bit lane that is never flushed (over 257 pair sums of 255 x 32767 in one lane).
    for (const KernelTable* t : int8Tables())
        for (size_t in : {1, 7, 31, 33, 130, 1283, 5000, 40000}) {
            for (bool extreme : {false, true}) {
                const size_t rows = 5, ldw = in + 3;
                auto w = randomBytes(rows * ldw, unsigned(in));
                std::vector<int16_t> x(in);
                std::mt19937 random(unsigned(in) + 1);
                std::uniform_int_distribution<int> value(-32767, 32767);
                for (size_t i = 0; i < in; ++i)
                    x[i] = int16_t(extreme ? (i % 2 ? 32767 : -32767) : value(random));
                if (extreme)
                    for (size_t i = 0; i < w.size(); ++i)
                        w[i] = int8_t(i % 2 ? 127 : -128);
                const std::vector<float> scales{0.5f, 0.001f, 3.0f, 1e-6f, 0.0f};
                std::vector<float> y(rows, NAN);
                t->int8Gemv(w.data(), ldw, scales.data(), x.data(), 0.25f, in, y.data(), rows);
                for (size_t r = 0; r < rows; ++r) {
                    int64_t dot = 0;
                    for (size_t i = 0; i < in; ++i)
                        dot += int64_t(w[r * ldw + i]) * x[i];
                    ASSERT_EQ(y[r], float(dot) * scales[r] * 0.25f)
                        << t->name << " in=" << in << " row " << r << (extreme ? " extreme" : "");
                }
            }
        }
}

TEST(Int8Kernels, ActivationsQuantiseAlikeEverywhereAndKeepZerosAndNaN) {
    const KernelTable* generic = kernelsFor(Isa::generic);
    for (const KernelTable* t : int8Tables())
        for (size_t n : {1, 7, 16, 33, 1283}) {
            auto x = randomVector(n, unsigned(n), 3.0f);
            std::vector<int16_t> q(n), expected(n);
            const float scale = t->quantizeInt16(x.data(), n, q.data());
            ASSERT_EQ(scale, generic->quantizeInt16(x.data(), n, expected.data())) << t->name;
            ASSERT_EQ(q, expected) << t->name << " n=" << n;
            for (size_t i = 0; i < n; ++i)
                ASSERT_NEAR(q[i] * scale, x[i], 0.51f * scale) << t->name;
            // All zeros: scale 0, the products are 0. A NaN or an infinity anywhere: the products are NaN.
            std::vector<float> zeros(n, 0.0f);
            EXPECT_EQ(t->quantizeInt16(zeros.data(), n, q.data()), 0.0f);
            EXPECT_EQ(q, std::vector<int16_t>(n, 0));
            for (float bad : {NAN, INFINITY}) {
                x[n / 2] = bad;
                EXPECT_TRUE(std::isnan(t->quantizeInt16(x.data(), n, q.data()))) << t->name << " " << bad;
            }
        }
}

TEST(Int8Kernels, MagnitudesTooSmallForAScaleQuantiseToZeroOnEveryVariant) {
    // 127 / 1e-38 and 32767 / 1e-36 overflow to infinity (and 0 x infinity is NaN): such rows and vectors
    // are zero. Lengths reach both the vector bodies and the tails.
    for (float tiny : {1e-38f, 1e-36f, 1e-44f}) {
        const std::vector<float> row{tiny, 0.0f, -tiny};
        std::vector<int8_t> q(row.size(), 1);
        EXPECT_EQ(ml::quantizeRow(row.data(), row.size(), q.data()), 0.0f) << tiny;
        EXPECT_EQ(q, std::vector<int8_t>(row.size(), 0)) << tiny;
        for (const KernelTable* t : int8Tables())
            for (size_t n : {1, 7, 33}) {
                std::vector<float> x(n, 0.0f);
                for (size_t i = 0; i < n; i += 2)
                    x[i] = i % 4 ? -tiny : tiny;
                std::vector<int16_t> values(n, 1);
                EXPECT_EQ(t->quantizeInt16(x.data(), n, values.data()), 0.0f) << t->name << " " << tiny;
                EXPECT_EQ(values, std::vector<int16_t>(n, 0)) << t->name << " " << tiny << " n=" << n;
            }
    }
    // Small but with a normal scale: still quantised.
    for (const KernelTable* t : int8Tables()) {
        std::vector<float> x(33, -1e-33f);
        std::vector<int16_t> values(x.size());
        EXPECT_EQ(t->quantizeInt16(x.data(), x.size(), values.data()), 1e-33f / 32767.0f) << t->name;
        EXPECT_EQ(values, std::vector<int16_t>(x.size(), -32767)) << t->name;
    }
}

TEST(Int8Kernels, PanelSlicesWidenWithTheirColumnScalesAndPackedProductsMatch) {
    for (const KernelTable* t : int8Tables()) {
        const size_t width = t->gemmPanelWidth, depth = 5;
        const auto q = randomBytes(width * depth, 3);
        const auto scales = randomVector(width, 4);
        std::vector<float> out(width * depth);
        t->int8WidenPanel(q.data(), scales.data(), width, depth, out.data());
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], float(q[i]) * scales[i % width]) << t->name;

        // Packed 8-bit weights through the float32 products (rows and columns with partial tiles and panels,
        // an input longer than one slice): the product of the widened weights.
        const size_t rows = 29, in = 300, outputs = 2 * width + 5;
        const auto bytes = randomBytes(outputs * in, 5);
        const auto rowScales = randomVector(outputs, 6, 0.01f);
        const auto W = PackedWeights::packInt8(
            [&](size_t row, int8_t* values) {
                std::copy(bytes.begin() + long(row * in), bytes.begin() + long((row + 1) * in), values);
                return rowScales[row];
            },
            outputs, in, Precision::float32, *t);
        ASSERT_EQ(W.storage(), WeightStorage::int8);
        const auto x = randomVector(rows * in, 7);
        const auto bias = randomVector(outputs, 8);
        std::vector<float> y(rows * outputs);
        packedLinear(x.data(), rows, W, bias.data(), y.data());
        for (size_t r = 0; r < rows; ++r)
            for (size_t c = 0; c < outputs; ++c) {
                double expected = bias[c];
                for (size_t k = 0; k < in; ++k)
                    expected += double(x[r * in + k]) * double(float(bytes[c * in + k]) * rowScales[c]);
                ASSERT_NEAR(y[r * outputs + c], expected, 1e-4 * (1 + std::fabs(expected))) << t->name;
            }
    }
}

TEST(Int8Kernels, BfloatRoadsWidenPairPanelsAndTheirProductsStayClose) {
    for (const KernelTable* t : int8Tables()) {
        const size_t rows = 3;
        const auto q = randomBytes(64 * rows, 10);
        const auto scales = randomVector(64, 11);
        std::vector<uint16_t> out(64 * rows);
        t->int8WidenBfloat16(q.data(), scales.data(), rows, out.data());
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], floatToBfloat16(float(q[i]) * scales[i % 64])) << t->name << " at " << i;
    }
    // Packed for a bfloat16 road, 8-bit weights stay 8-bit and the products follow the widened weights within
    // bfloat16's precision.
    std::string untested;
    for (BfloatRoad road : {BfloatRoad::vectors, BfloatRoad::tiles}) {
        if (!bfloatRoadAvailable(road)) {
            untested += std::string(untested.empty() ? "" : ", ") + bfloatRoadName(road);
            continue;
        }
        const size_t rows = 29, in = 300, outputs = 69;
        const auto bytes = randomBytes(outputs * in, 12);
        const auto rowScales = randomVector(outputs, 13, 0.01f);
        const auto W = PackedWeights::packInt8(
            [&](size_t row, int8_t* values) {
                std::copy(bytes.begin() + long(row * in), bytes.begin() + long((row + 1) * in), values);
                return rowScales[row];
            },
            outputs, in, Precision::bfloat16, activeKernels(), road);
        ASSERT_EQ(W.precision(), Precision::bfloat16);
        ASSERT_EQ(W.storage(), WeightStorage::int8);
        const auto x = randomVector(rows * in, 14);
        std::vector<float> y(rows * outputs);
        packedLinear(x.data(), rows, W, nullptr, y.data());
        for (size_t r = 0; r < rows; ++r)
            for (size_t c = 0; c < outputs; ++c) {
                double expected = 0, magnitude = 0;
                for (size_t k = 0; k < in; ++k) {
                    const double term = double(x[r * in + k]) * double(float(bytes[c * in + k]) * rowScales[c]);
                    expected += term;
                    magnitude += std::fabs(term);
                }
                ASSERT_NEAR(y[r * outputs + c], expected, 1e-2 * magnitude) << bfloatRoadName(road);
            }
    }
    if (!untested.empty())
        std::printf("[   NOTE   ] not tested, this processor does not run them: %s\n", untested.c_str());
}

TEST(Int8Kernels, RowsQuantiseWithinHalfAStepAndRefuseValuesThatAreNotFinite) {
    const auto row = randomVector(301, 9, 0.2f);
    std::vector<int8_t> q(row.size());
    const float scale = ml::quantizeRow(row.data(), row.size(), q.data());
    float largest = 0;
    for (float v : row)
        largest = std::max(largest, std::fabs(v));
    EXPECT_FLOAT_EQ(scale * 127.0f, largest);
    for (size_t i = 0; i < row.size(); ++i)
        ASSERT_NEAR(q[i] * scale, row[i], 0.5f * scale * 1.0001f);
    std::vector<float> zeros(4, 0.0f);
    EXPECT_EQ(ml::quantizeRow(zeros.data(), zeros.size(), q.data()), 0.0f);
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        auto broken = row;
        broken[17] = bad;
        EXPECT_THROW(ml::quantizeRow(broken.data(), broken.size(), q.data()), std::invalid_argument);
    }
}
