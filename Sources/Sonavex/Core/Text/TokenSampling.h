#pragma once
// Chooses each step's token from the filtered logits and closes a window's sequence with the end token.
// The decoder calls update once per step (forced prompt steps included) and finalize once at the end.

#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Text/SamplingResult.h"

namespace sonavex {

class TokenSampling {
public:
    virtual ~TokenSampling() = default;

    /// `tokens` and `logProbs` with the chosen token and its log-probability appended.
    virtual SamplingResult update(const std::vector<int64_t>& tokens, const ml::MultiArray& logits,
                                  const std::vector<float>& logProbs) = 0;
    /// The sequence ended with the end-of-text token, `completed` true.
    virtual SamplingResult finalize(const std::vector<int64_t>& tokens,
                                    const std::vector<float>& logProbs) = 0;
};

} // namespace sonavex
