#pragma once
// Forbids a fixed list of token ids at every step (the options' `suppressTokens`). Negative ids are
// kept in the list and have no effect: the "-1 means the default non-speech tokens" convention is not
// supported, which creation notes once in the debug log.

#include "Sonavex/Core/Text/LogitsFiltering.h"

namespace sonavex {

class SuppressTokensFilter : public LogitsFiltering {
public:
    explicit SuppressTokensFilter(std::vector<int64_t> suppressTokens);

    std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                 const std::vector<int64_t>& tokens) override;

    const std::vector<int64_t> suppressTokens;
    /// The ids written at every step (the list as given).
    const std::vector<int64_t> suppressTokenIndexes;
};

} // namespace sonavex
