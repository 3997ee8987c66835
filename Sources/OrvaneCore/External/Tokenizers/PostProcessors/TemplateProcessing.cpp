#include "OrvaneCore/External/Tokenizers/PostProcessors/TemplateProcessing.h"

#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

namespace orvane {

TemplateProcessing::TemplateProcessing(const Config& config) {
    const Config::Array* single = config["single"].array();
    if (!single)
        throw TokenizerError::mismatchedConfig("Missing `single` processor configuration");
    const Config::Array* pair = config["pair"].array();
    if (!pair)
        throw TokenizerError::mismatchedConfig("Missing `pair` processor configuration");
    single_ = *single;
    pair_ = *pair;
    singleItems_ = items(single_);
    pairItems_ = items(pair_);
}

std::vector<TemplateProcessing::Item> TemplateProcessing::items(const Config::Array& configuration) {
    std::vector<Item> result;
    for (const Config& item : configuration) {
        if (auto special = item["SpecialToken"]["id"].string()) {
            result.push_back({Item::Kind::special, *special});
            continue;
        }
        auto sequence = item["Sequence"]["id"].string();
        if (sequence == "A") {
            result.push_back({Item::Kind::first, {}});
        } else if (sequence == "B") {
            result.push_back({Item::Kind::second, {}});
        }
    }
    return result;
}

std::vector<std::string>
TemplateProcessing::postProcess(const std::vector<std::string>& tokens,
                                const std::optional<std::vector<std::string>>& tokensPair,
                                bool addSpecialTokens) const {
    std::vector<std::string> result;
    result.reserve(tokens.size() + (tokensPair ? tokensPair->size() : 0) + 4);
    for (const Item& item : tokensPair ? pairItems_ : singleItems_) {
        switch (item.kind) {
        case Item::Kind::special:
            if (addSpecialTokens)
                result.push_back(item.text);
            break;
        case Item::Kind::first:
            result.insert(result.end(), tokens.begin(), tokens.end());
            break;
        case Item::Kind::second:
            if (tokensPair)
                result.insert(result.end(), tokensPair->begin(), tokensPair->end());
            break;
        case Item::Kind::none:
            break;
        }
    }
    return result;
}

} // namespace orvane
