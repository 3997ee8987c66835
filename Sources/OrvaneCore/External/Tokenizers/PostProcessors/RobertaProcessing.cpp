#include "OrvaneCore/External/Tokenizers/PostProcessors/RobertaProcessing.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Strings/WhitespaceTrimming.h"

namespace orvane {
namespace {

RobertaProcessing fromConfig(const Config& config) {
    SpecialTokenPair sep = requiredSpecialToken(config, "sep");
    SpecialTokenPair cls = requiredSpecialToken(config, "cls");
    return RobertaProcessing(std::move(sep), std::move(cls), config["trimOffset"].boolean().value_or(true),
                             config["addPrefixSpace"].boolean().value_or(true));
}

} // namespace

RobertaProcessing::RobertaProcessing(const Config& config) : RobertaProcessing(fromConfig(config)) {}

std::vector<std::string> RobertaProcessing::trimmed(const std::vector<std::string>& tokens) const {
    if (!trimOffset_) {
        return tokens;
    }
    std::vector<std::string> out;
    out.reserve(tokens.size());
    for (const std::string& token : tokens) {
        out.push_back(addPrefixSpace_ ? trimmingExtraSpaces(token) : trimmingBlanks(token));
    }
    return out;
}

std::vector<std::string> RobertaProcessing::postProcess(const std::vector<std::string>& tokens,
                                                        const std::optional<std::vector<std::string>>& tokensPair,
                                                        bool) const {
    std::vector<std::string> out{cls_.second};
    const std::vector<std::string> first = trimmed(tokens);
    out.insert(out.end(), first.begin(), first.end());
    out.push_back(sep_.second);
    if (tokensPair && !tokensPair->empty()) {
        const std::vector<std::string> second = trimmed(*tokensPair);
        out.push_back(sep_.second);
        out.insert(out.end(), second.begin(), second.end());
        out.push_back(sep_.second);
    }
    return out;
}

} // namespace orvane
