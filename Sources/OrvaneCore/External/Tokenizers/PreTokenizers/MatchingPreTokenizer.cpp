#include "OrvaneCore/External/Tokenizers/PreTokenizers/MatchingPreTokenizer.h"

#include "OrvaneCore/External/Tokenizers/Strings/FailedSearch.h"

namespace orvane {

MatchingPreTokenizer::MatchingPreTokenizer(const std::string& re) : regex_(re) {}

std::vector<std::string> MatchingPreTokenizer::preTokenize(const std::string& text,
                                                           const PreTokenizerOptions&) const {
    try {
        return regex_.matchedTexts(text);
    } catch (const text::RegexError& error) {
        reportFailedSearch("Pre-tokenizer", error);
        return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text};
    }
}

} // namespace orvane
