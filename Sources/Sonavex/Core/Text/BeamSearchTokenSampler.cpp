#include "Sonavex/Core/Text/BeamSearchTokenSampler.h"

#include "OrvaneCore/Logging/Describing.h"

#include <cmath>
#include <stdexcept>

namespace sonavex {

namespace {
int64_t candidateCount(int64_t beamSize, float patience) {
    const float product = static_cast<float>(beamSize) * patience;
    // Not finite, or beyond a count: no valid number of candidates.
    if (!std::isfinite(product) || product >= 0x1p63f || std::trunc(product) <= 0) {
        throw std::invalid_argument("Invalid beam size " + std::to_string(beamSize) + " or patience " +
                                    orvane::describing(patience));
    }
    return static_cast<int64_t>(product);
}
} // namespace

BeamSearchTokenSampler::BeamSearchTokenSampler(int64_t beamSize, int64_t eotToken, float patience)
    : beamSize(beamSize), eotToken(eotToken), patience(patience),
      maxCandidates_(candidateCount(beamSize, patience)) {}

void BeamSearchTokenSampler::reset() {
    finishedSequences_.clear();
}

SamplingResult BeamSearchTokenSampler::update(const std::vector<int64_t>&, const ml::MultiArray&,
                                              const std::vector<float>&) {
    throw std::logic_error("Not implemented: update(tokens:logits:logProbs:)");
}

SamplingResult BeamSearchTokenSampler::finalize(const std::vector<int64_t>&, const std::vector<float>&) {
    throw std::logic_error("Not implemented: finalize(tokens:logProbs:)");
}

} // namespace sonavex
