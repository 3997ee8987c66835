#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "Platform/ML/Whisper/TensorOps.h"

#include <numeric>
#include <random>

namespace {
const float kInf = std::numeric_limits<float>::infinity();
}

TEST(TensorOps, SoftmaxIsStableAndMasksMinusInfinity) {
    std::vector<float> logits{1000.0f, 1000.0f, -kInf, 999.0f};
    auto p = ml::softmax(logits);
    const float e = std::exp(-1.0f);
    EXPECT_NEAR(p[0], 1.0f / (2.0f + e), 1e-6f);
    EXPECT_EQ(p[2], 0.0f);
    EXPECT_NEAR(p[0] + p[1] + p[2] + p[3], 1.0f, 1e-6f);
    auto logP = ml::logSoftmax(logits);
    EXPECT_NEAR(logP[3], std::log(p[3]), 1e-5f);
    EXPECT_EQ(logP[2], -kInf);
    // No finite entry: no distribution, and the caller can tell.
    for (float value : ml::softmax(std::vector<float>{-kInf, -kInf})) {
        EXPECT_TRUE(std::isnan(value));
    }
}

TEST(TensorOps, ArgmaxAndTopKBreakTiesByLowestIndex) {
    std::vector<float> values{0.5f, 2.0f, NAN, 2.0f, -1.0f, 2.0f};
    EXPECT_EQ(ml::argmax(values), 1);
    auto top = ml::topK(values, 4);
    EXPECT_EQ(top.indices, (std::vector<int64_t>{1, 3, 5, 0}));
    EXPECT_EQ(top.values, (std::vector<float>{2.0f, 2.0f, 2.0f, 0.5f}));
    EXPECT_EQ(ml::topK(values, 100).indices.size(), values.size());
    EXPECT_THROW(ml::topK(values, -1), std::invalid_argument);
    EXPECT_THROW(ml::argmax(std::vector<float>{}), std::invalid_argument);
}

TEST(TensorOps, CumulativeSumRunsInOrder) {
    EXPECT_EQ(ml::cumulativeSum(std::vector<float>{0.5f, 0.25f, 0.125f}), (std::vector<float>{0.5f, 0.75f, 0.875f}));
}

TEST(TensorOps, HalfLogitsGiveTheSameAnswersAsTheirFloatValues) {
    std::vector<ml::Float16> halves{ml::Float16(1.5f), ml::Float16(-kInf), ml::Float16(3.0f), ml::Float16(3.0f)};
    const std::vector<float> floats{1.5f, -kInf, 3.0f, 3.0f};
    EXPECT_EQ(ml::toFloats(halves), floats);
    EXPECT_EQ(ml::argmax(std::span<const ml::Float16>(halves)), 2);
    EXPECT_EQ(ml::softmax(std::span<const ml::Float16>(halves)), ml::softmax(floats));
    EXPECT_EQ(ml::logSoftmax(std::span<const ml::Float16>(halves)), ml::logSoftmax(floats));
    // +inf takes everything; NaN or no finite top leaves no log-distribution.
    EXPECT_EQ(ml::softmax(std::vector<float>{kInf, 1.0f, kInf}), (std::vector<float>{0.5f, 0.0f, 0.5f}));
    EXPECT_TRUE(std::isnan(ml::logSoftmax(std::vector<float>{-kInf, -kInf})[0]));
    EXPECT_TRUE(std::isnan(ml::softmax(std::vector<float>{1.0f, NAN})[0]));
    EXPECT_EQ(ml::argmax(std::vector<float>{NAN, -kInf, NAN}), 1);
    EXPECT_EQ(ml::argmax(std::vector<float>{NAN, NAN}), 0);
}

TEST(TensorOps, TopKOfAVocabularyRowAgreesWithAFullSort) {
    // Scores on a coarse grid, so many ties; a few NaN and -inf entries.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> grid(-40, 40);
    std::vector<float> values(51865);
    for (float& value : values) {
        value = float(grid(random)) * 0.25f;
    }
    values[17] = NAN;
    values[40000] = -kInf;
    for (int64_t k : {1, 5, 64, 65, 300}) {
        std::vector<int64_t> order(values.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int64_t a, int64_t b) {
            const float x = values[size_t(a)], y = values[size_t(b)];
            return !std::isnan(x) && (std::isnan(y) || x > y);
        });
        const auto top = ml::topK(values, k);
        ASSERT_EQ(top.indices, std::vector<int64_t>(order.begin(), order.begin() + k)) << "k=" << k;
    }
    // More places than numbers: NaN comes last.
    const auto all = ml::topK(std::vector<float>{NAN, 1.0f, -kInf}, 3);
    EXPECT_EQ(all.indices, (std::vector<int64_t>{1, 2, 0}));
}
