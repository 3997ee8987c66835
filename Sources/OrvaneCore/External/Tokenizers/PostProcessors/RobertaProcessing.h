#pragma once
// Frames a sequence as RoBERTa does, always: <s> tokens </s>, and for a second sequence </s> tokens
// </s> again; the tokens' surrounding whitespace is trimmed first when asked.

#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessor.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/SpecialTokenPair.h"

namespace orvane {

class Config;

class RobertaProcessing : public PostProcessor {
public:
    /// Reads "sep" and "cls" (required), trim_offset and add_prefix_space (each true when absent).
    explicit RobertaProcessing(const Config& config);
    RobertaProcessing(SpecialTokenPair sep, SpecialTokenPair cls, bool trimOffset, bool addPrefixSpace)
        : sep_(std::move(sep)), cls_(std::move(cls)), trimOffset_(trimOffset), addPrefixSpace_(addPrefixSpace) {}

    /// The special tokens are added whatever `addSpecialTokens` says.
    std::vector<std::string> postProcess(const std::vector<std::string>& tokens,
                                         const std::optional<std::vector<std::string>>& tokensPair,
                                         bool addSpecialTokens) const override;

    const SpecialTokenPair& sep() const { return sep_; }
    const SpecialTokenPair& cls() const { return cls_; }
    bool trimOffset() const { return trimOffset_; }
    bool addPrefixSpace() const { return addPrefixSpace_; }

private:
    std::vector<std::string> trimmed(const std::vector<std::string>& tokens) const;

    SpecialTokenPair sep_;
    SpecialTokenPair cls_;
    bool trimOffset_;
    bool addPrefixSpace_;
};

} // namespace orvane
