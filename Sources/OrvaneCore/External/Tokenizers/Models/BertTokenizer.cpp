#include "OrvaneCore/External/Tokenizers/Models/BertTokenizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/Strings/CjkSpacing.h"

namespace orvane {
namespace {

std::shared_ptr<CanonicalVocabulary> makeVocabulary(const std::vector<std::pair<std::string, TokenId>>& entries) {
    auto vocab = std::make_shared<CanonicalVocabulary>();
    for (const auto& [text, id] : entries) {
        vocab->set(text, id);
    }
    return vocab;
}

BertTokenizer::Parts partsFromConfig(const Config& tokenizerConfig, const Config& tokenizerData,
                                     const std::unordered_map<std::string, TokenId>& addedTokens) {
    const Config::Dictionary* vocab = tokenizerData["model"]["vocab"].dictionary();
    if (!vocab) {
        throw TokenizerError::missingVocab();
    }
    BertTokenizer::Parts parts;
    parts.tokenizeChineseChars = tokenizerConfig["handleChineseChars"].boolean().value_or(true);
    // Only plain strings: an object form of these tokens is not read here.
    parts.eosToken = tokenizerConfig["eosToken"].string();
    parts.bosToken = tokenizerConfig["bosToken"].string();
    parts.fuseUnknownTokens = tokenizerConfig["fuseUnk"].boolean().value_or(false);
    parts.doLowerCase = tokenizerConfig["doLowerCase"].boolean().value_or(true);
    for (const auto& [key, value] : *vocab) {
        if (auto id = value.integer()) {
            parts.vocab.emplace_back(key.string(), *id);
        }
    }
    if (const Config::Array* listed = tokenizerData["addedTokens"].array()) {
        for (const Config& token : *listed) {
            auto id = token["id"].integer();
            auto content = token["content"].string();
            if (id && content) {
                parts.vocab.emplace_back(*content, *id);
            }
        }
    }
    for (const auto& [text, id] : addedTokens) {
        parts.vocab.emplace_back(text, id);
    }
    return parts;
}

} // namespace

BertTokenizer::BertTokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                             const std::unordered_map<std::string, TokenId>& addedTokens)
    : BertTokenizer(partsFromConfig(tokenizerConfig, tokenizerData, addedTokens)) {}

BertTokenizer::BertTokenizer(Parts parts)
    : vocab_(makeVocabulary(parts.vocab)), idsToTokens_(vocab_->inverted()), basicTokenizer_(parts.doLowerCase),
      wordpieceTokenizer_(vocab_), tokenizeChineseChars_(parts.tokenizeChineseChars),
      bosToken_(std::move(parts.bosToken)), eosToken_(std::move(parts.eosToken)),
      unknownTokenId_(vocab_->find(wordpieceTokenizer_.unkToken())), fuseUnknownTokens_(parts.fuseUnknownTokens) {
    if (bosToken_) {
        bosTokenId_ = vocab_->find(*bosToken_);
    }
    if (eosToken_) {
        eosTokenId_ = vocab_->find(*eosToken_);
    }
}

std::vector<std::string> BertTokenizer::tokenize(const std::string& text) const {
    const std::string spaced = tokenizeChineseChars_ ? spacingCjkIdeographs(text) : text;
    std::vector<std::string> tokens;
    for (const std::string& word : basicTokenizer_.tokenize(spaced)) {
        for (std::string& piece : wordpieceTokenizer_.tokenize(word)) {
            tokens.push_back(std::move(piece));
        }
    }
    return tokens;
}

std::optional<TokenId> BertTokenizer::convertTokenToId(const std::string& token) const {
    if (auto id = vocab_->find(token)) {
        return id;
    }
    return unknownTokenId_;
}

std::optional<std::string> BertTokenizer::convertIdToToken(TokenId id) const {
    if (auto found = idsToTokens_.find(id); found != idsToTokens_.end()) {
        return found->second;
    }
    return std::nullopt;
}

} // namespace orvane
