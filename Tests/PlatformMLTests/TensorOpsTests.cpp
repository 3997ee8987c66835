#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "Platform/ML/TensorOps.h"

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
