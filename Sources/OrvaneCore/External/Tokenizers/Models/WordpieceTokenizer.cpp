#include "OrvaneCore/External/Tokenizers/Models/WordpieceTokenizer.h"

#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"

namespace orvane {

WordpieceTokenizer::WordpieceTokenizer(std::shared_ptr<const CanonicalVocabulary> vocab, std::string unkToken,
                                       std::size_t maxInputCharsPerWord)
    : vocab_(std::move(vocab)), unkToken_(std::move(unkToken)), maxInputCharsPerWord_(maxInputCharsPerWord) {}

std::vector<std::string> WordpieceTokenizer::tokenize(std::string_view word) const {
    // Byte offset of each character boundary, so candidates are plain substrings of the word.
    const std::vector<std::size_t> boundaries = characterBoundaries(word);
    const std::size_t count = boundaries.size() - 1;
    if (count > maxInputCharsPerWord_) {
        return {unkToken_};
    }
    std::vector<std::string> pieces;
    for (std::size_t start = 0; start < count;) {
        std::size_t end = count;
        std::string found;
        for (; end > start; --end) {
            std::string candidate(word.substr(boundaries[start], boundaries[end] - boundaries[start]));
            if (start > 0) {
                candidate.insert(0, "##");
            }
            if (vocab_->find(candidate)) {
                found = std::move(candidate);
                break;
            }
        }
        if (end == start) {
            return {unkToken_};
        }
        pieces.push_back(std::move(found));
        start = end;
    }
    return pieces;
}

} // namespace orvane
