#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerSequence.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerFactory.h"

namespace orvane {

PreTokenizerSequence::PreTokenizerSequence(const Config& config) {
    const Config::Array* members = config["pretokenizers"].array();
    if (!members)
        throw TokenizerError::mismatchedConfig("No pretokenizers in Sequence");
    for (const Config& member : *members) {
        if (auto stage = PreTokenizerFactory::fromConfig(member))
            preTokenizers_.push_back(std::move(stage));
    }
}

PreTokenizerSequence::PreTokenizerSequence(std::vector<std::shared_ptr<PreTokenizer>> preTokenizers)
    : preTokenizers_(std::move(preTokenizers)) {}

std::vector<std::string> PreTokenizerSequence::preTokenize(const std::string& text,
                                                           const PreTokenizerOptions& options) const {
    std::vector<std::string> pieces{text};
    for (const auto& stage : preTokenizers_)
        pieces = stage->preTokenize(pieces, options);
    return pieces;
}

} // namespace orvane
