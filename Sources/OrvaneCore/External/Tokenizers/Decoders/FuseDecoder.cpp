#include "OrvaneCore/External/Tokenizers/Decoders/FuseDecoder.h"

namespace orvane {

std::vector<std::string> FuseDecoder::decode(const std::vector<std::string>& tokens) const {
    std::string joined;
    for (const std::string& token : tokens) {
        joined += token;
    }
    return {joined};
}

} // namespace orvane
