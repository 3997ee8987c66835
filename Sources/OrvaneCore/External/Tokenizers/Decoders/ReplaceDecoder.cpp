#include "OrvaneCore/External/Tokenizers/Decoders/ReplaceDecoder.h"

namespace orvane {

ReplaceDecoder::ReplaceDecoder(const Config& config) : pattern_(StringReplacePattern::from(config)) {}

std::vector<std::string> ReplaceDecoder::decode(const std::vector<std::string>& tokens) const {
    if (!pattern_) {
        return tokens;
    }
    std::vector<std::string> out;
    out.reserve(tokens.size());
    for (const std::string& token : tokens) {
        out.push_back(pattern_->replace(token));
    }
    return out;
}

} // namespace orvane
