#pragma once
// How every decoding stage reaches the tokenizer: text to ids and back, single conversions, the special
// and language token ids, and the splitting of a token sequence into words for word timings. An
// interface, so a test can stand in a tokenizer built from a small table.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Sonavex/Core/Tokenizer/SpecialTokens.h"

namespace sonavex {

/// Two lists of equal length: each word's text and its token ids.
struct WordTokens {
    std::vector<std::string> words;
    std::vector<std::vector<int>> wordTokens;
};

class WhisperTokenizer {
public:
    virtual ~WhisperTokenizer() = default;

    /// The tokenizer's encoding, its special tokens added.
    virtual std::vector<int> encode(const std::string& text) const = 0;
    /// Special tokens are kept; ids without a token are dropped.
    virtual std::string decode(const std::vector<int>& tokens) const = 0;
    virtual std::optional<int> convertTokenToId(const std::string& token) const = 0;
    virtual std::optional<std::string> convertIdToToken(int id) const = 0;
    virtual const SpecialTokens& specialTokens() const = 0;
    virtual const std::set<int>& allLanguageTokens() const = 0;
    virtual WordTokens splitToWordTokens(const std::vector<int>& tokenIds) const = 0;
};

} // namespace sonavex
