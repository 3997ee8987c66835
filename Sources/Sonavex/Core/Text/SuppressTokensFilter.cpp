#include "Sonavex/Core/Text/SuppressTokensFilter.h"

#include "Sonavex/Core/Text/LogitsSuppression.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <algorithm>

namespace sonavex {

SuppressTokensFilter::SuppressTokensFilter(std::vector<int64_t> suppressTokens)
    : suppressTokens(std::move(suppressTokens)), suppressTokenIndexes(this->suppressTokens) {
    if (std::any_of(this->suppressTokens.begin(), this->suppressTokens.end(),
                    [](int64_t id) { return id < 0; })) {
        Logging::debug("SuppressTokensFilter: ignoring negative ids in suppressTokens; the -1 sentinel "
                       "(suppress default non-speech tokens) is not supported");
    }
}

std::shared_ptr<ml::MultiArray> SuppressTokensFilter::filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                                   const std::vector<int64_t>&) {
    suppressTokenIds(*logits, suppressTokenIndexes);
    return logits;
}

} // namespace sonavex
