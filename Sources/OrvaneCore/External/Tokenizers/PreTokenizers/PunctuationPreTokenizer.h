#pragma once
// Cuts text into runs of punctuation and runs of everything else (blanks stay inside the latter).
// Punctuation is every Unicode punctuation character plus the printable ASCII symbols.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/MatchingPreTokenizer.h"

namespace orvane {

class Config;

class PunctuationPreTokenizer final : public MatchingPreTokenizer {
public:
    /// Takes its fixed expression; the configuration is not read.
    explicit PunctuationPreTokenizer(const Config& config);
    PunctuationPreTokenizer();
};

} // namespace orvane
