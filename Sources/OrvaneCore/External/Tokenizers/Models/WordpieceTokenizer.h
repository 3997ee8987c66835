#pragma once
// The sub-word step of WordPiece: greedy longest-match-first splitting of one word into vocabulary
// pieces, every piece after the first carrying the "##" prefix.

#include "OrvaneCore/External/Tokenizers/Models/CanonicalVocabulary.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class WordpieceTokenizer {
public:
    WordpieceTokenizer(std::shared_ptr<const CanonicalVocabulary> vocab, std::string unkToken = "[UNK]",
                       std::size_t maxInputCharsPerWord = 100);

    std::vector<std::string> tokenize(std::string_view word) const;

    const std::string& unkToken() const { return unkToken_; }
    std::size_t maxInputCharsPerWord() const { return maxInputCharsPerWord_; }

private:
    std::shared_ptr<const CanonicalVocabulary> vocab_;
    std::string unkToken_;
    std::size_t maxInputCharsPerWord_;
};

} // namespace orvane
