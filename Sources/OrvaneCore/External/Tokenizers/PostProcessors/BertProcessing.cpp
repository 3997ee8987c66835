#include "OrvaneCore/External/Tokenizers/PostProcessors/BertProcessing.h"

namespace orvane {
namespace {

// Reads "sep" before "cls" so the first missing one is the one reported.
BertProcessing fromConfig(const Config& config) {
    SpecialTokenPair sep = requiredSpecialToken(config, "sep");
    return BertProcessing(std::move(sep), requiredSpecialToken(config, "cls"));
}

} // namespace

BertProcessing::BertProcessing(const Config& config) : BertProcessing(fromConfig(config)) {}

std::vector<std::string> BertProcessing::postProcess(const std::vector<std::string>& tokens,
                                                     const std::optional<std::vector<std::string>>& tokensPair,
                                                     bool addSpecialTokens) const {
    std::vector<std::string> out;
    if (!addSpecialTokens) {
        out = tokens;
        if (tokensPair) {
            out.insert(out.end(), tokensPair->begin(), tokensPair->end());
        }
        return out;
    }
    out.push_back(cls_.second);
    out.insert(out.end(), tokens.begin(), tokens.end());
    out.push_back(sep_.second);
    if (tokensPair && !tokensPair->empty()) {
        out.insert(out.end(), tokensPair->begin(), tokensPair->end());
        out.push_back(sep_.second);
    }
    return out;
}

} // namespace orvane
