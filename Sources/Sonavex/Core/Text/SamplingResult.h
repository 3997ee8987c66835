#pragma once
// One sampler call's outcome: the window's tokens with the new one last, the log-probabilities of the
// sampled tokens, and whether the sequence has ended.

#include <cstdint>
#include <vector>

namespace sonavex {

struct SamplingResult {
    std::vector<int64_t> tokens;
    std::vector<float> logProbs;
    bool completed = false;
};

} // namespace sonavex
