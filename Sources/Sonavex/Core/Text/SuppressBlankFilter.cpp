#include "Sonavex/Core/Text/SuppressBlankFilter.h"

#include "Sonavex/Core/Text/LogitsSuppression.h"

namespace sonavex {

SuppressBlankFilter::SuppressBlankFilter(SpecialTokens specialTokens, int64_t sampleBegin)
    : specialTokens(specialTokens),
      sampleBegin(sampleBegin), suppressTokenIndexes{specialTokens.whitespaceToken, specialTokens.endToken} {}

std::shared_ptr<ml::MultiArray> SuppressBlankFilter::filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                                  const std::vector<int64_t>& tokens) {
    if (static_cast<int64_t>(tokens.size()) == sampleBegin) {
        suppressTokenIds(*logits, suppressTokenIndexes);
    }
    return logits;
}

} // namespace sonavex
