#pragma once
// A beam-search sampler's settings and construction check. Its sampling is not implemented, and nothing
// in the engine makes one.

#include "Sonavex/Core/Text/TokenSampling.h"

namespace sonavex {

class BeamSearchTokenSampler : public TokenSampling {
public:
    /// std::invalid_argument "Invalid beam size <beamSize> or patience <patience>" when
    /// beamSize × patience, truncated, is not a positive count.
    BeamSearchTokenSampler(int64_t beamSize, int64_t eotToken, float patience);

    void reset();

    /// std::logic_error "Not implemented: update(tokens:logits:logProbs:)".
    SamplingResult update(const std::vector<int64_t>& tokens, const ml::MultiArray& logits,
                          const std::vector<float>& logProbs) override;
    /// std::logic_error "Not implemented: finalize(tokens:logProbs:)".
    SamplingResult finalize(const std::vector<int64_t>& tokens, const std::vector<float>& logProbs) override;

    int64_t beamSize;
    int64_t eotToken;
    float patience;

    int64_t maxCandidates() const { return maxCandidates_; }

private:
    int64_t maxCandidates_;
    std::vector<float> finishedSequences_;
};

} // namespace sonavex
