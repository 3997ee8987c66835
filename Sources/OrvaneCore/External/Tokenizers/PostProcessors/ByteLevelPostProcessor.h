#pragma once
// The post-processor of byte-level tokenizers: adds nothing; the first sequence passes unchanged and a
// second one is dropped.

#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessor.h"

namespace orvane {

class Config;

class ByteLevelPostProcessor final : public PostProcessor {
public:
    ByteLevelPostProcessor() = default;
    /// The configuration is not read.
    explicit ByteLevelPostProcessor(const Config& config);

    std::vector<std::string> postProcess(const std::vector<std::string>& tokens,
                                         const std::optional<std::vector<std::string>>& tokensPair,
                                         bool addSpecialTokens) const override;
};

} // namespace orvane
