#pragma once
// The vocabulary algorithm of a tokenizer (byte-pair encoding, word pieces, unigram): turns one
// pre-tokenized piece into token texts and maps between token texts and ids. Models are immutable
// once built and may be used from any number of threads.

#include "OrvaneCore/External/Tokenizers/Pipeline/TokenId.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane {

class TokenizingModel {
public:
    virtual ~TokenizingModel() = default;

    /// The tokens of one pre-tokenized piece; never fails.
    virtual std::vector<std::string> tokenize(const std::string& text) const = 0;
    std::vector<std::string> operator()(const std::string& text) const { return tokenize(text); }

    virtual std::optional<TokenId> convertTokenToId(const std::string& token) const = 0;
    virtual std::vector<std::optional<TokenId>>
    convertTokensToIds(const std::vector<std::string>& tokens) const;
    virtual std::optional<std::string> convertIdToToken(TokenId id) const = 0;
    virtual std::vector<std::optional<std::string>> convertIdsToTokens(const std::vector<TokenId>& ids) const;

    virtual std::optional<std::string> bosToken() const = 0;
    virtual std::optional<TokenId> bosTokenId() const = 0;
    virtual std::optional<std::string> eosToken() const = 0;
    virtual std::optional<TokenId> eosTokenId() const = 0;
    virtual std::optional<std::string> unknownToken() const = 0;
    virtual std::optional<TokenId> unknownTokenId() const = 0;
    /// Whether the pipeline collapses runs of unknown tokens into their first.
    virtual bool fuseUnknownTokens() const = 0;
};

} // namespace orvane
