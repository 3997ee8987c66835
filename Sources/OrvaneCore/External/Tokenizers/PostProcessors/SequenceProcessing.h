#pragma once
// Several post-processors in a row; only the first sees the second sequence.

#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessor.h"

#include <memory>

namespace orvane {

class Config;

class SequenceProcessing : public PostProcessor {
public:
    /// Reads "processors" (entries without a "type" are skipped). Throws TokenizerError
    /// (mismatchedConfig "Missing `processors` configuration" or a member's error).
    explicit SequenceProcessing(const Config& config);
    explicit SequenceProcessing(std::vector<std::shared_ptr<PostProcessor>> processors)
        : processors_(std::move(processors)) {}

    std::vector<std::string> postProcess(const std::vector<std::string>& tokens,
                                         const std::optional<std::vector<std::string>>& tokensPair,
                                         bool addSpecialTokens) const override;

    const std::vector<std::shared_ptr<PostProcessor>>& processors() const { return processors_; }

private:
    std::vector<std::shared_ptr<PostProcessor>> processors_;
};

} // namespace orvane
