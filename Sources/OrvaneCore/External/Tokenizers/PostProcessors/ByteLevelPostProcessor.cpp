#include "OrvaneCore/External/Tokenizers/PostProcessors/ByteLevelPostProcessor.h"

namespace orvane {

ByteLevelPostProcessor::ByteLevelPostProcessor(const Config&) {}

std::vector<std::string> ByteLevelPostProcessor::postProcess(const std::vector<std::string>& tokens,
                                                             const std::optional<std::vector<std::string>>&,
                                                             bool) const {
    return tokens;
}

} // namespace orvane
