#pragma once
// Builds the normalizer a "normalizer" configuration object describes, chosen by its "type".

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace orvane {

class Config;

struct NormalizerFactory {
    using Builder = std::function<std::shared_ptr<Normalizer>(const Config&)>;

    /// Null when the configuration has no string "type" (a null configuration included); throws
    /// TokenizerError::mismatchedConfig("Unsupported Normalizer type: <type>") for an unknown type, and the
    /// stage's own errors for a malformed configuration.
    static std::shared_ptr<Normalizer> fromConfig(const Config& config);

    /// "type" string to the builder of that stage.
    static const std::map<std::string, Builder>& builders();
};

} // namespace orvane
