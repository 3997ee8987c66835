#pragma once
// The unigram (scored-piece) model: every vocabulary piece that starts at each character of a piece
// of text goes into a lattice with its score, and the tokens are the best-scoring path through it.

#include "OrvaneCore/External/Tokenizers/Models/TokenizingModel.h"
#include "OrvaneCore/External/Tokenizers/Models/Trie.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvane {

class Config;

class UnigramTokenizer : public TokenizingModel {
public:
    struct SentencePieceToken {
        std::string token;
        float score = 0.0f;
    };

    /// Reads "model"."vocab" ([text, ..., score] arrays) and "model"."unk_id" of the tokenizer data and
    /// the plain-string eos_token of the tokenizer configuration; added tokens are not used. Throws
    /// TokenizerError (missingVocab without a "vocab" array, malformedVocab for a bad entry or unknown id).
    UnigramTokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                     const std::unordered_map<std::string, TokenId>& addedTokens);
    /// `vocab` in id order; `unknownId` must index it. Throws TokenizerError::malformedVocab otherwise.
    UnigramTokenizer(std::vector<SentencePieceToken> vocab, TokenId unknownId, std::optional<std::string> eosToken);

    std::vector<std::string> tokenize(const std::string& text) const override;
    /// The exact text's id, else the id of a canonically equivalent piece, else the unknown id.
    std::optional<TokenId> convertTokenToId(const std::string& token) const override;
    std::optional<std::string> convertIdToToken(TokenId id) const override;

    std::optional<std::string> bosToken() const override { return bosToken_; }
    std::optional<TokenId> bosTokenId() const override { return bosTokenId_; }
    std::optional<std::string> eosToken() const override { return eosToken_; }
    std::optional<TokenId> eosTokenId() const override { return eosTokenId_; }
    std::optional<std::string> unknownToken() const override { return unknownPiece_.token; }
    std::optional<TokenId> unknownTokenId() const override { return unknownTokenId_; }
    bool fuseUnknownTokens() const override { return true; }
    float unknownTokenScore() const { return unknownPiece_.score; }
    float minScore() const { return minScore_; }
    const std::vector<SentencePieceToken>& vocab() const { return vocab_; }

private:
    std::vector<SentencePieceToken> vocab_;
    SentencePieceToken unknownPiece_;
    TokenId unknownTokenId_;
    float minScore_ = 999.0f;
    // Exact texts (byte for byte, which is code unit for code unit) to ids.
    std::unordered_map<std::string, TokenId> tokensToIds_;
    std::optional<std::string> bosToken_ = " ";
    std::optional<TokenId> bosTokenId_;
    std::optional<std::string> eosToken_;
    std::optional<TokenId> eosTokenId_;
    template <typename Characters> std::vector<std::uint32_t> characterKeys(const Characters& texts) const;

    // Every character of the vocabulary by its canonical form, so a piece matches canonically equivalent
    // text, numbered so that walking the trie compares numbers; each stored piece keeps its id, so a
    // piece found in either form has one.
    std::unordered_map<std::string, std::uint32_t> characterIds_;
    Trie<std::uint32_t> trie_;
};

} // namespace orvane
