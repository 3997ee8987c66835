#include "OrvaneCore/External/Tokenizers/PreTokenizers/MatchingPreTokenizer.h"

namespace orvane {

MatchingPreTokenizer::MatchingPreTokenizer(const std::string& re) : regex_(re) {}

std::vector<std::string> MatchingPreTokenizer::preTokenize(const std::string& text,
                                                           const PreTokenizerOptions&) const {
    return regex_.matchedTexts(text);
}

} // namespace orvane
