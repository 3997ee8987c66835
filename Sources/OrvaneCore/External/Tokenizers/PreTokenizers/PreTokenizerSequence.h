#pragma once
// Pre-tokenizers applied one after the other, each to every piece the previous one produced.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"

#include <memory>
#include <vector>

namespace orvane {

class Config;

class PreTokenizerSequence final : public PreTokenizer {
public:
    /// Reads "pretokenizers"; throws TokenizerError::mismatchedConfig("No pretokenizers in Sequence")
    /// when it is not an array. Members without a "type" are skipped.
    explicit PreTokenizerSequence(const Config& config);
    explicit PreTokenizerSequence(std::vector<std::shared_ptr<PreTokenizer>> preTokenizers);

    using PreTokenizer::preTokenize;
    std::vector<std::string> preTokenize(const std::string& text,
                                         const PreTokenizerOptions& options) const override;

    const std::vector<std::shared_ptr<PreTokenizer>>& preTokenizers() const { return preTokenizers_; }

private:
    std::vector<std::shared_ptr<PreTokenizer>> preTokenizers_;
};

} // namespace orvane
