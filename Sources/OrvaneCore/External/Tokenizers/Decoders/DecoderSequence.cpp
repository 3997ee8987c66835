#include "OrvaneCore/External/Tokenizers/Decoders/DecoderSequence.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Decoders/DecoderFactory.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

namespace orvane {

DecoderSequence::DecoderSequence(const Config& config) {
    const Config::Array* members = config["decoders"].array();
    if (!members) {
        throw TokenizerError::mismatchedConfig("No decoders in Sequence");
    }
    for (const Config& member : *members) {
        if (auto decoder = DecoderFactory::fromConfig(member, nullptr)) {
            decoders_.push_back(std::move(decoder));
        }
    }
}

std::vector<std::string> DecoderSequence::decode(const std::vector<std::string>& tokens) const {
    std::vector<std::string> result = tokens;
    for (const auto& decoder : decoders_) {
        result = decoder->decode(result);
    }
    return result;
}

} // namespace orvane
