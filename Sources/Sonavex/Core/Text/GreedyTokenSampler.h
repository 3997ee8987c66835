#pragma once
// The engine's sampler: at temperature 0 the id of the largest logit (the lowest id on ties); above 0 a
// draw among the top-k most probable ids of the temperature-scaled distribution. The log-probability is
// always that of the full soft-max of the (scaled) logits. Sampling changes nothing in the sampler, so
// one may serve several windows.

#include "Platform/ML/Values/Half.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Text/TokenSampling.h"

#include <cstdint>
#include <functional>

namespace sonavex {

class GreedyTokenSampler : public TokenSampling {
public:
    /// 32 random bits per call; the draws above temperature 0 take 24 of them.
    using RandomSource = std::function<uint32_t()>;

    /// Draws from the operating system's random source (not reproducible).
    GreedyTokenSampler(ml::Float16 temperature, int64_t eotToken, DecodingOptions decodingOptions);
    GreedyTokenSampler(ml::Float16 temperature, int64_t eotToken, DecodingOptions decodingOptions,
                       RandomSource randomSource);

    /// The logits must be half floats (std::invalid_argument otherwise). When they hold no distribution
    /// (empty, every logit minus infinity, or a NaN) no token can be chosen: "Sampling error: " and the
    /// reason are logged and thrown as WhisperError decodingFailed; so is a top-k below 1 above
    /// temperature 0.
    SamplingResult update(const std::vector<int64_t>& tokens, const ml::MultiArray& logits,
                          const std::vector<float>& logProbs) override;
    /// Appends the end token with log-probability 0 unless the tokens already end with it.
    SamplingResult finalize(const std::vector<int64_t>& tokens, const std::vector<float>& logProbs) override;

    ml::Float16 temperature;
    int64_t eotToken;
    /// Only topK is read.
    DecodingOptions decodingOptions;

private:
    struct Choice {
        int64_t token;
        float logProb;
    };
    Choice choose(const ml::MultiArray& logits) const;
    /// Uniform in [0, 1): 24 random bits scaled by 2^-24.
    float uniform() const;

    RandomSource randomSource_;
};

/// 32 bits from the operating system's random source.
uint32_t systemRandomBits();

} // namespace sonavex
