#include "Sonavex/Core/Text/LanguageLogitsFilter.h"

#include "Sonavex/Core/Text/LogitsSuppression.h"

#include <stdexcept>

namespace sonavex {

namespace {
int64_t checkedDim(int64_t logitsDim) {
    if (logitsDim < 0) {
        throw std::invalid_argument("LanguageLogitsFilter needs a logits size of 0 or more, not " +
                                    std::to_string(logitsDim));
    }
    return logitsDim;
}
} // namespace

LanguageLogitsFilter::LanguageLogitsFilter(std::set<int> allLanguageTokens, int64_t logitsDim,
                                           int64_t sampleBegin)
    : allLanguageTokens(std::move(allLanguageTokens)), logitsDim(checkedDim(logitsDim)),
      sampleBegin(sampleBegin),
      nonLanguageTokenIndexes(getNonLanguageTokenIndexes(logitsDim, this->allLanguageTokens)) {}

LanguageLogitsFilter::IdRuns
LanguageLogitsFilter::getNonLanguageTokenIndexes(int64_t logitsDim, const std::set<int>& allLanguageTokens) {
    IdRuns runs;
    int64_t first = 0;
    for (int language : allLanguageTokens) {
        if (language >= logitsDim) {
            break;
        }
        if (language < first) {
            continue;
        }
        if (language > first) {
            runs.emplace_back(first, language);
        }
        first = language + 1;
    }
    if (first < logitsDim) {
        runs.emplace_back(first, logitsDim);
    }
    return runs;
}

std::shared_ptr<ml::MultiArray> LanguageLogitsFilter::filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                                   const std::vector<int64_t>& tokens) {
    if (static_cast<int64_t>(tokens.size()) >= sampleBegin) {
        for (const auto& [first, end] : nonLanguageTokenIndexes) {
            suppressTokenRange(*logits, first, end);
        }
    }
    return logits;
}

} // namespace sonavex
