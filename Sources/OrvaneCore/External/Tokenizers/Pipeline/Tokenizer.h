#pragma once
// What a tokenizer is to the rest of the system: text to token texts and ids, ids back to text.
// Tokenizing, encoding and decoding never fail, whatever the text (invalid UTF-8 included).

#include "OrvaneCore/External/Tokenizers/Pipeline/TokenId.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane {

class Tokenizer {
public:
    virtual ~Tokenizer() = default;

    virtual std::vector<std::string> tokenize(const std::string& text) const = 0;
    /// Ids with the special tokens the configuration frames a sequence with.
    virtual std::vector<TokenId> encode(const std::string& text) const = 0;
    virtual std::vector<TokenId> encode(const std::string& text, bool addSpecialTokens) const = 0;
    std::vector<TokenId> operator()(const std::string& text, bool addSpecialTokens) const {
        return encode(text, addSpecialTokens);
    }

    /// Text of the ids, special tokens included.
    virtual std::string decode(const std::vector<TokenId>& tokens) const { return decode(tokens, false); }
    virtual std::string decode(const std::vector<TokenId>& tokens, bool skipSpecialTokens) const = 0;

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
};

} // namespace orvane
