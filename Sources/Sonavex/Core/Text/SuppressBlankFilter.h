#pragma once
// Forbids the whitespace and end-of-text tokens as the first sampled token, so a window never opens
// with a blank or ends before it begins.

#include "Sonavex/Core/Text/LogitsFiltering.h"
#include "Sonavex/Core/Tokenizer/SpecialTokens.h"

namespace sonavex {

class SuppressBlankFilter : public LogitsFiltering {
public:
    SuppressBlankFilter(SpecialTokens specialTokens, int64_t sampleBegin);

    /// Acts only when `tokens` holds exactly sampleBegin tokens.
    std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                 const std::vector<int64_t>& tokens) override;

    const SpecialTokens specialTokens;
    const int64_t sampleBegin;
    /// The whitespace and end-of-text ids.
    const std::vector<int64_t> suppressTokenIndexes;
};

} // namespace sonavex
