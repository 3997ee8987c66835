#include "OrvaneCore/External/Tokenizers/TemplateProcessing.h"

#include "OrvaneCore/External/Tokenizers/TokenizerError.h"

namespace orvane {

TemplateProcessing::TemplateProcessing(const Config& config) {
    const Config::Array* single = config["single"].array();
    if (!single) throw TokenizerError::mismatchedConfig("Missing `single` processor configuration");
    const Config::Array* pair = config["pair"].array();
    if (!pair) throw TokenizerError::mismatchedConfig("Missing `pair` processor configuration");
    single_ = *single;
    pair_ = *pair;
}

std::vector<std::string> TemplateProcessing::postProcess(const std::vector<std::string>& tokens,
                                                         const std::optional<std::vector<std::string>>& tokensPair,
                                                         bool addSpecialTokens) const {
    std::vector<std::string> result;
    for (const Config& item : tokensPair ? pair_ : single_) {
        if (auto special = item["SpecialToken"]["id"].string()) {
            if (addSpecialTokens) result.push_back(*special);
            continue;
        }
        auto sequence = item["Sequence"]["id"].string();
        if (sequence == "A") {
            result.insert(result.end(), tokens.begin(), tokens.end());
        } else if (sequence == "B" && tokensPair) {
            result.insert(result.end(), tokensPair->begin(), tokensPair->end());
        }
    }
    return result;
}

} // namespace orvane
