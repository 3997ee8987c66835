#include "Sonavex/Core/Results/DecodingResult.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace sonavex;

namespace {

std::string verdict(const DecodingOptions& options, bool firstTooLow, float noSpeech, float ratio,
                    float logProb) {
    auto fallback = DecodingFallback::from(options, firstTooLow, noSpeech, ratio, logProb);
    if (!fallback) {
        return "none";
    }
    return std::string(fallback->needsFallback ? "retry " : "keep ") + fallback->fallbackReason;
}

} // namespace

TEST(DecodingFallback, FirstFiringTestDecidesWithStrictComparisons) {
    DecodingOptions defaults;
    EXPECT_EQ(verdict(defaults, false, 0, 2.0f, -0.5f), "none");
    EXPECT_EQ(verdict(defaults, true, 0.9f, 2.0f, -0.5f), "retry firstTokenLogProbThreshold");
    EXPECT_EQ(verdict(defaults, false, 0.9f, 3.0f, -0.5f), "keep silence");
    EXPECT_EQ(verdict(defaults, false, 0, 2.5f, -2.0f), "retry compressionRatioThreshold");
    EXPECT_EQ(verdict(defaults, false, 0, 2.0f, -2.0f), "retry logProbThreshold");
    // Equality with a threshold fires nothing.
    EXPECT_EQ(verdict(defaults, false, 0.6f, 2.4f, -1.0f), "none");
    // A NaN figure makes its comparison false.
    EXPECT_EQ(verdict(defaults, false, std::nanf(""), std::nanf(""), std::nanf("")), "none");
}

TEST(DecodingFallback, ThresholdsWithoutValueAreSkipped) {
    DecodingOptions none({.compressionRatioThreshold = std::nullopt,
                          .logProbThreshold = std::nullopt,
                          .firstTokenLogProbThreshold = std::nullopt,
                          .noSpeechThreshold = std::nullopt});
    EXPECT_EQ(verdict(none, false, 1.0f, 100.0f, -100.0f), "none");
    EXPECT_EQ(verdict(none, true, 0, 0, 0), "retry firstTokenLogProbThreshold");
}
