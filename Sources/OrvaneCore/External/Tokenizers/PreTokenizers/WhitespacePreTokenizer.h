#pragma once
// Cuts text at whitespace: the pieces are the runs of non-whitespace characters.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/MatchingPreTokenizer.h"

namespace orvane {

class Config;

class WhitespacePreTokenizer final : public MatchingPreTokenizer {
public:
    /// Takes its fixed expression; the configuration is not read.
    explicit WhitespacePreTokenizer(const Config& config);
    WhitespacePreTokenizer();
};

} // namespace orvane
