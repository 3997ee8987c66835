#pragma once
// Leaves only language tokens open, for detecting the spoken language in one decoder step. The ids to
// forbid are worked out once, at creation, as runs of consecutive ids.

#include "Sonavex/Core/Text/LogitsFiltering.h"

#include <set>
#include <utility>

namespace sonavex {

class LanguageLogitsFilter : public LogitsFiltering {
public:
    /// Half-open runs [first, end) of ids.
    using IdRuns = std::vector<std::pair<int64_t, int64_t>>;

    /// std::invalid_argument for a negative logitsDim.
    LanguageLogitsFilter(std::set<int> allLanguageTokens, int64_t logitsDim, int64_t sampleBegin);

    /// From sampleBegin tokens on, every id below logitsDim that is not a language token becomes minus
    /// infinity; before that nothing changes.
    std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                 const std::vector<int64_t>& tokens) override;

    /// The ids 0 ..< logitsDim outside `allLanguageTokens`, in increasing order, as runs.
    static IdRuns getNonLanguageTokenIndexes(int64_t logitsDim, const std::set<int>& allLanguageTokens);

    const std::set<int> allLanguageTokens;
    const int64_t logitsDim;
    const int64_t sampleBegin;
    const IdRuns nonLanguageTokenIndexes;
};

} // namespace sonavex
