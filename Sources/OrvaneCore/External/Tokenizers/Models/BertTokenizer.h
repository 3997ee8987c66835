#pragma once
// The WordPiece model: CJK ideographs set apart, the basic split into words (accents and case folded
// when asked), then each word split into vocabulary pieces by greedy longest match. Vocabulary keys
// compare canonically equivalent texts as equal.

#include "OrvaneCore/External/Tokenizers/Models/BasicTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Models/CanonicalVocabulary.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenizingModel.h"
#include "OrvaneCore/External/Tokenizers/Models/WordpieceTokenizer.h"

#include <memory>
#include <unordered_map>

namespace orvane {

class Config;

class BertTokenizer : public TokenizingModel {
public:
    struct Parts {
        /// Token text to id, in the order the entries are laid over each other (later ones win).
        std::vector<std::pair<std::string, TokenId>> vocab;
        bool tokenizeChineseChars = true;
        bool doLowerCase = true;
        std::optional<std::string> bosToken;
        std::optional<std::string> eosToken;
        bool fuseUnknownTokens = false;
    };

    /// Reads "model"."vocab" and "added_tokens" of the tokenizer data and handle_chinese_chars,
    /// do_lower_case, bos_token, eos_token and fuse_unk of the tokenizer configuration; `addedTokens`
    /// override both. Throws TokenizerError::missingVocab without an object "vocab".
    BertTokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                  const std::unordered_map<std::string, TokenId>& addedTokens);
    explicit BertTokenizer(Parts parts);

    std::vector<std::string> tokenize(const std::string& text) const override;
    std::optional<TokenId> convertTokenToId(const std::string& token) const override;
    std::optional<std::string> convertIdToToken(TokenId id) const override;

    std::optional<std::string> bosToken() const override { return bosToken_; }
    std::optional<TokenId> bosTokenId() const override { return bosTokenId_; }
    std::optional<std::string> eosToken() const override { return eosToken_; }
    std::optional<TokenId> eosTokenId() const override { return eosTokenId_; }
    std::optional<std::string> unknownToken() const override { return wordpieceTokenizer_.unkToken(); }
    std::optional<TokenId> unknownTokenId() const override { return unknownTokenId_; }
    bool fuseUnknownTokens() const override { return fuseUnknownTokens_; }

    const BasicTokenizer& basicTokenizer() const { return basicTokenizer_; }
    const WordpieceTokenizer& wordpieceTokenizer() const { return wordpieceTokenizer_; }
    bool tokenizeChineseChars() const { return tokenizeChineseChars_; }
    /// 512; kept with the model, nothing truncates by it.
    std::size_t maxLen() const { return 512; }

private:
    std::shared_ptr<CanonicalVocabulary> vocab_;
    std::unordered_map<TokenId, std::string> idsToTokens_;
    BasicTokenizer basicTokenizer_;
    WordpieceTokenizer wordpieceTokenizer_;
    bool tokenizeChineseChars_;
    std::optional<std::string> bosToken_;
    std::optional<TokenId> bosTokenId_;
    std::optional<std::string> eosToken_;
    std::optional<TokenId> eosTokenId_;
    std::optional<TokenId> unknownTokenId_;
    bool fuseUnknownTokens_;
};

} // namespace orvane
