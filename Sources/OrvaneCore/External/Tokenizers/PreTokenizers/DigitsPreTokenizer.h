#pragma once
// Separates digits from other text: runs of digits, or each digit alone when asked for.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/MatchingPreTokenizer.h"

namespace orvane {

class Config;

class DigitsPreTokenizer final : public MatchingPreTokenizer {
public:
    /// Reads individual_digits (default false).
    explicit DigitsPreTokenizer(const Config& config);
    explicit DigitsPreTokenizer(bool individualDigits);
};

} // namespace orvane
