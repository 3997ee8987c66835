#pragma once
// The tokenizer of Llama-style configurations. Newer ("non-legacy") configurations get a word-marker
// pre-tokenizer in place of their normalizer; every configuration whose post-processor is not a
// template gets one that adds the beginning and end tokens the tokenizer configuration asks for.
// Tokenizing puts the word marker "▁" in front of the text itself, so a text that begins with a
// special token gets no stray marker token.

#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizer.h"

#include <optional>

namespace orvane {

class LlamaPreTrainedTokenizer : public PreTrainedTokenizer {
public:
    /// Rewrites the tokenizer data, then builds the pipeline from it. Throws TokenizerError, including
    /// mismatchedConfig "add_bos_token is True but bos_token is nil" (and the same for eos).
    LlamaPreTrainedTokenizer(const Config& tokenizerConfig, const Config& tokenizerData, bool strict);

    std::vector<std::string> tokenize(const std::string& text) const override;

    bool isLegacy() const { return isLegacy_; }

    /// The tokenizer data as this class builds its pipeline from.
    static Config rewrittenTokenizerData(const Config& tokenizerConfig, const Config& tokenizerData);

private:
    bool isLegacy_;
};

/// The template post-processor configuration that adds the beginning and end tokens the tokenizer
/// configuration asks for ("add_bos_token", "bos_token", "add_eos_token", "eos_token"); none when
/// `processorConfig` already describes a template post-processor.
std::optional<Config> maybeUpdatePostProcessor(const Config& tokenizerConfig, const Config& processorConfig);

} // namespace orvane
