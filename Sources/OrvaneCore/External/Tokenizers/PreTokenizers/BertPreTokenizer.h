#pragma once
// The pre-tokenizer of BERT-style models: whitespace separates words and is dropped, and each
// punctuation character (Unicode punctuation or printable ASCII symbol) is a piece of its own.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/MatchingPreTokenizer.h"

namespace orvane {

class Config;

class BertPreTokenizer final : public MatchingPreTokenizer {
public:
    /// Takes its fixed expression; the configuration is not read.
    explicit BertPreTokenizer(const Config& config);
    BertPreTokenizer();
};

} // namespace orvane
