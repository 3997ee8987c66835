#include "OrvaneCore/External/Tokenizers/Decoders/MetaspaceDecoder.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringReplacePattern.h"

namespace orvane {

MetaspaceDecoder::MetaspaceDecoder(const Config& config)
    : addPrefixSpace_(config["addPrefixSpace"].boolean().value_or(false)),
      replacement_(config["replacement"].string().value_or("_")) {}

std::vector<std::string> MetaspaceDecoder::decode(const std::vector<std::string>& tokens) const {
    std::vector<std::string> out;
    out.reserve(tokens.size());
    for (const std::string& token : tokens) {
        out.push_back(replacingOccurrences(token, replacement_, " "));
    }
    if (addPrefixSpace_ && !out.empty() && out.front().starts_with(' ')) {
        out.front().erase(0, 1);
    }
    return out;
}

} // namespace orvane
