#pragma once
// Builds the decoder a "decoder" configuration object describes, chosen by its "type".

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>

namespace orvane {

class Config;

struct DecoderFactory {
    /// A builder gets the added-token texts (null when the caller has none).
    using Builder = std::function<std::shared_ptr<Decoder>(
        const Config&, const std::unordered_set<std::string>* addedTokens)>;

    /// Null when the configuration has no string "type" (a null configuration included); throws
    /// TokenizerError::mismatchedConfig("Unsupported Decoder type: <type>") for an unknown type, and the
    /// stage's own errors for a malformed configuration.
    static std::shared_ptr<Decoder> fromConfig(const Config& config,
                                               const std::unordered_set<std::string>* addedTokens = nullptr);

    /// "type" string to the builder of that stage.
    static const std::map<std::string, Builder>& builders();
};

} // namespace orvane
