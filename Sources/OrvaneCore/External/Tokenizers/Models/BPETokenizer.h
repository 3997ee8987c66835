#pragma once
// Byte-pair encoding: a piece is split into characters, ranked merges are applied until none applies,
// and each resulting symbol is looked up in the vocabulary; a symbol the vocabulary lacks becomes one
// "<0xHH>" token per UTF-8 byte. Merge pairs compare canonically equivalent texts as equal; the
// vocabulary compares token texts exactly.
//
// Immutable after construction and safe to share between threads (the per-piece cache is internal).

#include "OrvaneCore/External/Tokenizers/Models/MergeTable.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenizingModel.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane {

class Config;

class BPETokenizer : public TokenizingModel {
public:
    /// Everything a model is built from, already read from the configuration documents.
    struct Parts {
        /// Token text to id (added tokens already laid over it).
        std::unordered_map<std::string, TokenId> vocab;
        /// Merge list in rank order, each as its symbols (only the first two are used).
        std::vector<std::vector<std::string>> merges;
        std::optional<std::string> unknownToken;
        std::optional<std::string> eosToken;
        std::optional<std::string> bosToken;
        bool fuseUnknownTokens = false;
    };

    /// Reads "model"."merges" and "model"."vocab" of the tokenizer data and the special tokens of the
    /// tokenizer configuration; `addedTokens` override vocabulary entries of the same text.
    /// Throws TokenizerError (mismatchedConfig "BPETokenizer requires merges", missingVocab).
    BPETokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                 const std::unordered_map<std::string, TokenId>& addedTokens);
    explicit BPETokenizer(Parts parts);
    ~BPETokenizer() override;

    std::vector<std::string> tokenize(const std::string& text) const override;
    /// The merged symbols of one piece, joined by single spaces.
    std::string bpe(const std::string& token) const;
    /// The "<0xHH>" tokens of every byte of the text's pattern matches.
    static std::vector<std::string> hexaEncode(const std::string& text);
    /// The merge list of a "merges" member (strings split at every space, or arrays of strings); none
    /// when the member is absent or not an array.
    static std::optional<std::vector<std::vector<std::string>>> mergesFromConfig(const Config& config);

    std::optional<TokenId> convertTokenToId(const std::string& token) const override;
    std::optional<std::string> convertIdToToken(TokenId id) const override;

    std::optional<std::string> bosToken() const override { return bosToken_; }
    std::optional<TokenId> bosTokenId() const override { return bosTokenId_; }
    std::optional<std::string> eosToken() const override { return eosToken_; }
    std::optional<TokenId> eosTokenId() const override { return eosTokenId_; }
    std::optional<std::string> unknownToken() const override { return unknownToken_; }
    std::optional<TokenId> unknownTokenId() const override { return unknownTokenId_; }
    bool fuseUnknownTokens() const override { return fuseUnknownTokens_; }

    /// Rank of the merge of two symbols (compared up to canonical equivalence); none when not a merge.
    std::optional<int> mergeRank(std::string_view a, std::string_view b) const;

private:
    using Merge = MergeTable::Merge;
    struct Span {
        std::size_t start;
        std::size_t end;
    };

    void build(Parts parts);
    std::int32_t internSymbol(const std::string& canonical);
    std::int32_t symbolId(std::string_view text) const;
    const Merge* findMerge(std::int32_t a, std::int32_t b) const;
    std::vector<Span> mergedSymbols(std::string_view piece) const;
    std::vector<std::string> tokenizeUncached(std::string_view piece) const;

    std::unordered_map<std::string, std::int32_t> symbolIds_;
    // Symbol ids of the single code points below U+0300 (every byte-level character), or -1.
    std::vector<std::int32_t> smallSymbolIds_;
    MergeTable merges_;
    std::unordered_map<std::string, TokenId> tokensToIds_;
    // The inverse of tokensToIds_, pointing at its keys: a table for the usual dense ids, a map for others.
    std::vector<const std::string*> idsToTokens_;
    std::unordered_map<TokenId, const std::string*> sparseIdsToTokens_;
    std::optional<std::string> bosToken_;
    std::optional<TokenId> bosTokenId_;
    std::optional<std::string> eosToken_;
    std::optional<TokenId> eosTokenId_;
    std::optional<std::string> unknownToken_;
    std::optional<TokenId> unknownTokenId_;
    bool fuseUnknownTokens_ = false;

    // Pieces repeat a lot in real text; remembering their tokens makes encoding fast. Bounded.
    struct Cache;
    std::unique_ptr<Cache> cache_;
};

} // namespace orvane
