#pragma once
// Builds the post-processor a "post_processor" configuration object describes, chosen by its "type".

#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessor.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace orvane {

class Config;

struct PostProcessorFactory {
    using Builder = std::function<std::shared_ptr<PostProcessor>(const Config&)>;

    /// Null when the configuration has no string "type" (a null configuration included); throws
    /// TokenizerError::mismatchedConfig("Unsupported PostProcessor type: <type>") for an unknown type, and
    /// the stage's own errors for a malformed configuration.
    static std::shared_ptr<PostProcessor> fromConfig(const Config& config);

    /// "type" string to the builder of that stage.
    static const std::map<std::string, Builder>& builders();
};

} // namespace orvane
