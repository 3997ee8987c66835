#pragma once
// Builds the pre-tokenizer a "pre_tokenizer" configuration object describes, chosen by its "type".

#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace orvane {

class Config;

struct PreTokenizerFactory {
    using Builder = std::function<std::shared_ptr<PreTokenizer>(const Config&)>;

    /// Null when the configuration has no string "type" (a null configuration included); throws
    /// TokenizerError::mismatchedConfig("Unsupported PreTokenizer type: <type>") for an unknown type, and
    /// the stage's own errors for a malformed configuration.
    static std::shared_ptr<PreTokenizer> fromConfig(const Config& config);

    /// "type" string to the builder of that pre-tokenizer.
    static const std::map<std::string, Builder>& builders();
};

} // namespace orvane
