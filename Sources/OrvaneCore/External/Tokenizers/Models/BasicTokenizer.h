#pragma once
// The first step of WordPiece tokenization: optional accent stripping and lower-casing, then words
// split at blanks and at punctuation, each punctuation character a word of its own.

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class BasicTokenizer {
public:
    explicit BasicTokenizer(bool doLowerCase);

    std::vector<std::string> tokenize(std::string_view text) const;

    bool doLowerCase() const { return doLowerCase_; }
    /// Words kept whole: "[UNK]", "[SEP]", "[PAD]", "[CLS]", "[MASK]".
    const std::vector<std::string>& neverSplit() const { return neverSplit_; }

    /// Punctuation by Unicode, plus the ASCII symbols (so "$", "+", "<", "^" and "|" count too).
    static bool isPunctuation(char32_t codePoint);

private:
    bool doLowerCase_;
    std::vector<std::string> neverSplit_;
};

} // namespace orvane
