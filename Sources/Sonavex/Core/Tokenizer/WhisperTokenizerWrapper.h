#pragma once
// The engine's tokenizer over a general tokenizer built from a Whisper tokenizer repository. It finds
// the special-token ids in the vocabulary once, when made, and splits token sequences into words: at
// whole characters for languages written without spaces (Chinese, Japanese, Thai, Lao, Burmese,
// Cantonese), at leading spaces and punctuation otherwise.

#include <filesystem>
#include <optional>

#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerWrapper.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

namespace sonavex {

class WhisperTokenizerWrapper : public WhisperTokenizer {
public:
    WhisperTokenizerWrapper(orvane::TokenizerWrapper tokenizer, std::optional<std::filesystem::path> folder);

    std::vector<int> encode(const std::string& text) const override;
    std::string decode(const std::vector<int>& tokens) const override;
    /// Absent when the vocabulary has no such token (not the unknown token's id).
    std::optional<int> convertTokenToId(const std::string& token) const override;
    std::optional<std::string> convertIdToToken(int id) const override;
    const SpecialTokens& specialTokens() const override { return specialTokens_; }
    const std::set<int>& allLanguageTokens() const override { return allLanguageTokens_; }
    /// Ids still pending at the end (a character not yet complete) belong to no word.
    WordTokens splitToWordTokens(const std::vector<int>& tokenIds) const override;

    const orvane::TokenizerWrapper& tokenizer() const { return tokenizer_; }
    /// The folder the tokenizer was loaded from.
    const std::optional<std::filesystem::path>& tokenizerFolder() const { return tokenizerFolder_; }

private:
    WordTokens splitTokensOnUnicode(const std::vector<int>& tokens) const;
    WordTokens splitTokensOnSpaces(const std::vector<int>& tokens) const;

    orvane::TokenizerWrapper tokenizer_;
    std::optional<std::filesystem::path> tokenizerFolder_;
    SpecialTokens specialTokens_;
    std::set<int> allLanguageTokens_;
};

} // namespace sonavex
