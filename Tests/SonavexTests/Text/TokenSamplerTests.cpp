// The greedy sampler's choice and log-probability at and above temperature 0 (draws from a scripted
// random source), its closing of a window, failures, and the beam sampler's construction check.
#include "Sonavex/Core/Text/BeamSearchTokenSampler.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace sonavex;

namespace {

constexpr int64_t EOT = 4;

ml::MultiArray logits(const std::vector<float>& values) {
    return ml::MultiArray::fromFloats({1, 1, int64_t(values.size())}, values,
                                      ml::MultiArrayDataType::Float16);
}

// ln of the soft-max of `values` at `index`, in double precision.
double logSoftmaxAt(const std::vector<float>& values, std::size_t index, double scale = 1.0) {
    double sum = 0;
    for (float value : values) {
        sum += std::isinf(value) ? 0.0 : std::exp(value * scale);
    }
    return values[index] * scale - std::log(sum);
}

// A random source whose 24 used bits give exactly `u` (a multiple of 2^-24 in [0, 1)).
GreedyTokenSampler::RandomSource drawing(float u) {
    return [u] { return uint32_t(u * 0x1p24f) << 8; };
}

GreedyTokenSampler sampler(float temperature, int64_t topK, GreedyTokenSampler::RandomSource source) {
    return GreedyTokenSampler(ml::Float16(temperature), EOT, DecodingOptions({.topK = topK}),
                              std::move(source));
}

} // namespace

TEST(GreedyTokenSampler, TemperatureZeroTakesTheLargestLogit) {
    const std::vector<float> values{1.0f, 3.0f, -INFINITY, 3.0f, 2.0f};
    GreedyTokenSampler greedy(ml::Float16(0.0f), EOT, DecodingOptions());
    const SamplingResult result = greedy.update({7, 8}, logits(values), {0.0f});
    EXPECT_EQ(result.tokens, (std::vector<int64_t>{7, 8, 1})); // the lower of two equal maxima
    ASSERT_EQ(result.logProbs.size(), 2u);
    EXPECT_NEAR(result.logProbs[1], logSoftmaxAt(values, 1), 1e-5);
    EXPECT_FALSE(result.completed);

    const SamplingResult end = greedy.update({}, logits({0.0f, 0.0f, 0.0f, 0.0f, 5.0f}), {});
    EXPECT_EQ(end.tokens, (std::vector<int64_t>{EOT}));
    EXPECT_TRUE(end.completed);
}

TEST(GreedyTokenSampler, AboveZeroDrawsAmongTheTopKOfTheScaledDistribution) {
    const std::vector<float> values{0.0f, 2.0f, 1.0f, -INFINITY, -INFINITY};
    // Top-k of 1 is the arg-max, with the log-probability of the scaled distribution (x2 at 0.5).
    const SamplingResult one = sampler(0.5f, 1, drawing(0.75f)).update({}, logits(values), {});
    EXPECT_EQ(one.tokens, (std::vector<int64_t>{1}));
    EXPECT_NEAR(one.logProbs[0], logSoftmaxAt(values, 1, 2.0), 1e-5);
    EXPECT_LT(std::abs(one.logProbs[0] - logSoftmaxAt(values, 1)), 1.0); // differs from temperature 0
    EXPECT_GT(std::abs(one.logProbs[0] - logSoftmaxAt(values, 1)), 0.05);

    // At temperature 1 the top three hold p(1), p(2), p(0) in that order; a draw picks the first place
    // whose running sum reaches it. Places for -inf ids have probability 0 and are never reached.
    const double p1 = std::exp(logSoftmaxAt(values, 1)), p2 = std::exp(logSoftmaxAt(values, 2));
    auto drawn = [&](float u) {
        return sampler(1.0f, 5, drawing(u)).update({}, logits(values), {}).tokens[0];
    };
    EXPECT_EQ(drawn(0.0f), 1);
    EXPECT_EQ(drawn(float(p1) - 0x1p-20f), 1);
    EXPECT_EQ(drawn(float(p1) + 0x1p-20f), 2);
    EXPECT_EQ(drawn(float(p1 + p2) + 0x1p-20f), 0);
    EXPECT_EQ(drawn(1.0f - 0x1p-24f), 0);
}

TEST(GreedyTokenSampler, FinalizeClosesWithOneEndToken) {
    GreedyTokenSampler greedy(ml::Float16(0.0f), EOT, DecodingOptions());
    const SamplingResult empty = greedy.finalize({}, {});
    EXPECT_EQ(empty.tokens, (std::vector<int64_t>{EOT}));
    EXPECT_EQ(empty.logProbs, (std::vector<float>{0.0f}));
    EXPECT_TRUE(empty.completed);
    EXPECT_EQ(greedy.finalize({1, EOT}, {-0.5f}).tokens, (std::vector<int64_t>{1, EOT}));
    EXPECT_EQ(greedy.finalize({1, EOT}, {-0.5f}).logProbs, (std::vector<float>{-0.5f}));
    const SamplingResult open = greedy.finalize({1, 2}, {-0.5f, -0.25f});
    EXPECT_EQ(open.tokens, (std::vector<int64_t>{1, 2, EOT}));
    EXPECT_EQ(open.logProbs, (std::vector<float>{-0.5f, -0.25f, 0.0f}));
}

TEST(GreedyTokenSampler, NoDistributionIsASamplingError) {
    auto expectFailure = [](GreedyTokenSampler greedy, const ml::MultiArray& scores) {
        try {
            greedy.update({}, scores, {});
            ADD_FAILURE() << "a token from no distribution";
        } catch (const WhisperError& error) {
            EXPECT_EQ(error.kind(), WhisperError::Kind::decodingFailed);
            EXPECT_EQ(error.message().rfind("Sampling error: ", 0), 0u) << error.message();
        }
    };
    expectFailure(sampler(0.0f, 5, drawing(0)), logits({-INFINITY, -INFINITY}));
    expectFailure(sampler(1.0f, 5, drawing(0)), logits({-INFINITY, -INFINITY}));
    expectFailure(sampler(0.0f, 5, drawing(0)), logits({1.0f, NAN}));
    expectFailure(sampler(0.0f, 5, drawing(0)), ml::MultiArray({1, 1, 0}, ml::MultiArrayDataType::Float16));
    expectFailure(sampler(1.0f, 0, drawing(0)), logits({1.0f, 2.0f}));
    // Logits of another element type are the caller's to convert.
    EXPECT_THROW(sampler(0.0f, 5, drawing(0))
                     .update({}, ml::MultiArray({1, 1, 3}, ml::MultiArrayDataType::Float32), {}),
                 std::invalid_argument);
}

TEST(BeamSearchTokenSampler, RefusesFewerThanOneCandidateAndDoesNotSample) {
    BeamSearchTokenSampler beam(5, EOT, 1.0f);
    EXPECT_EQ(beam.maxCandidates(), 5);
    auto refusal = [](int64_t size, float patience) {
        try {
            BeamSearchTokenSampler refused(size, EOT, patience);
        } catch (const std::invalid_argument& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal(0, 1.0f), "Invalid beam size 0 or patience 1.0");
    EXPECT_EQ(refusal(3, 0.3f), "Invalid beam size 3 or patience 0.3");
    EXPECT_EQ(refusal(3, NAN), "Invalid beam size 3 or patience nan");
    EXPECT_THROW(beam.update({}, logits({1.0f}), {}), std::logic_error);
    EXPECT_THROW(beam.finalize({}, {}), std::logic_error);
}
