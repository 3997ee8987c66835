#pragma once
// Frames a sequence as BERT does: the classifier token, the tokens and the separator, and a second
// sequence followed by the separator again.

#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessor.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/SpecialTokenPair.h"

namespace orvane {

class Config;

class BertProcessing : public PostProcessor {
public:
    /// Reads "sep" and "cls" (tokens such as ["[SEP]", 102]); throws TokenizerError when one is missing.
    explicit BertProcessing(const Config& config);
    BertProcessing(SpecialTokenPair sep, SpecialTokenPair cls) : sep_(std::move(sep)), cls_(std::move(cls)) {}

    std::vector<std::string> postProcess(const std::vector<std::string>& tokens,
                                         const std::optional<std::vector<std::string>>& tokensPair,
                                         bool addSpecialTokens) const override;

    const SpecialTokenPair& sep() const { return sep_; }
    const SpecialTokenPair& cls() const { return cls_; }

private:
    SpecialTokenPair sep_;
    SpecialTokenPair cls_;
};

} // namespace orvane
