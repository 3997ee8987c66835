#include "OrvaneCore/External/Tokenizers/PostProcessors/SequenceProcessing.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessorFactory.h"

namespace orvane {

SequenceProcessing::SequenceProcessing(const Config& config) {
    const Config::Array* members = config["processors"].array();
    if (!members) {
        throw TokenizerError::mismatchedConfig("Missing `processors` configuration");
    }
    for (const Config& member : *members) {
        if (auto processor = PostProcessorFactory::fromConfig(member)) {
            processors_.push_back(std::move(processor));
        }
    }
}

std::vector<std::string> SequenceProcessing::postProcess(const std::vector<std::string>& tokens,
                                                         const std::optional<std::vector<std::string>>& tokensPair,
                                                         bool addSpecialTokens) const {
    if (processors_.empty()) {
        return tokens;
    }
    std::vector<std::string> result = processors_.front()->postProcess(tokens, tokensPair, addSpecialTokens);
    for (std::size_t i = 1; i < processors_.size(); ++i) {
        result = processors_[i]->postProcess(result, std::nullopt, addSpecialTokens);
    }
    return result;
}

} // namespace orvane
