#include "OrvaneCore/External/Tokenizers/UnigramTokenizer.h"

#include "OrvaneCore/External/Hub/Config.h"
#include "OrvaneCore/External/Tokenizers/TokenLattice.h"
#include "OrvaneCore/External/Tokenizers/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/TextPieces.h"

namespace orvane {
namespace {

std::vector<std::string> characterTexts(std::string_view text) {
    const std::vector<std::string_view> views = characters(text);
    return {views.begin(), views.end()};
}

template <typename Characters> std::vector<std::string> canonicalCharacters(const Characters& texts) {
    std::vector<std::string> keys;
    keys.reserve(texts.size());
    for (std::string_view character : texts) {
        keys.push_back(canonicalText(character));
    }
    return keys;
}

std::vector<UnigramTokenizer::SentencePieceToken> vocabFromConfig(const Config& tokenizerData) {
    const Config::Array* entries = tokenizerData["model"]["vocab"].array();
    if (!entries) {
        throw TokenizerError::missingVocab();
    }
    std::vector<UnigramTokenizer::SentencePieceToken> vocab;
    vocab.reserve(entries->size());
    for (const Config& entry : *entries) {
        const Config::Array* fields = entry.array();
        std::optional<std::string> text = fields && !fields->empty() ? fields->front().string() : std::nullopt;
        // The score is the last element; anything between text and score is ignored.
        std::optional<float> score = fields && fields->size() >= 2 ? fields->back().floating() : std::nullopt;
        if (!text || !score) {
            throw TokenizerError::malformedVocab();
        }
        vocab.push_back({std::move(*text), *score});
    }
    return vocab;
}

TokenId unknownIdFromConfig(const Config& tokenizerData) {
    if (auto id = tokenizerData["model"]["unkId"].integer()) {
        return *id;
    }
    throw TokenizerError::malformedVocab();
}

} // namespace

UnigramTokenizer::UnigramTokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                                   const std::unordered_map<std::string, TokenId>&)
    : UnigramTokenizer(vocabFromConfig(tokenizerData), unknownIdFromConfig(tokenizerData),
                       tokenizerConfig["eosToken"].string()) {}

UnigramTokenizer::UnigramTokenizer(std::vector<SentencePieceToken> vocab, TokenId unknownId,
                                   std::optional<std::string> eosToken)
    : vocab_(std::move(vocab)), unknownTokenId_(unknownId), eosToken_(std::move(eosToken)) {
    for (const SentencePieceToken& piece : vocab_) {
        if (piece.score < minScore_) {
            minScore_ = piece.score;
        }
    }
    if (unknownId < 0 || unknownId >= static_cast<TokenId>(vocab_.size())) {
        throw TokenizerError::malformedVocab();
    }
    unknownPiece_ = {vocab_[unknownId].token, minScore_ - 10.0f};
    for (std::size_t id = 0; id < vocab_.size(); ++id) {
        tokensToIds_[vocab_[id].token] = static_cast<TokenId>(id);
    }
    if (auto space = tokensToIds_.find(" "); space != tokensToIds_.end()) {
        bosTokenId_ = space->second;
    }
    if (eosToken_) {
        if (auto eos = tokensToIds_.find(*eosToken_); eos != tokensToIds_.end()) {
            eosTokenId_ = eos->second;
        }
    }
    for (std::size_t id = 0; id < vocab_.size(); ++id) {
        trie_.insert(canonicalCharacters(characters(vocab_[id].token)), static_cast<TokenId>(id));
    }
}

std::vector<std::string> UnigramTokenizer::tokenize(const std::string& text) const {
    std::vector<std::string> pieceCharacters = characterTexts(text);
    const std::vector<std::string> keys = canonicalCharacters(pieceCharacters);
    TokenLattice lattice(std::move(pieceCharacters), bosTokenId_.value_or(0), eosTokenId_.value_or(0));
    for (std::size_t start = 0; start < keys.size(); ++start) {
        bool foundSingleCharacter = false;
        LeavesWithCommonPrefixIterator<std::string> walk(trie_, keys, start);
        while (auto leaf = walk.next()) {
            lattice.insert(static_cast<int>(start), static_cast<int>(leaf->length), vocab_[leaf->value].score,
                           leaf->value);
            foundSingleCharacter = foundSingleCharacter || leaf->length == 1;
        }
        if (!foundSingleCharacter) {
            lattice.insert(static_cast<int>(start), 1, unknownPiece_.score, unknownTokenId_);
        }
    }
    return lattice.tokens();
}

std::optional<TokenId> UnigramTokenizer::convertTokenToId(const std::string& token) const {
    if (auto found = tokensToIds_.find(token); found != tokensToIds_.end()) {
        return found->second;
    }
    // A piece that tokenize found in another canonically equivalent form keeps its id.
    const std::vector<std::string> keys = canonicalCharacters(characters(token));
    LeavesWithCommonPrefixIterator<std::string> walk(trie_, keys);
    while (auto leaf = walk.next()) {
        if (leaf->length == keys.size()) {
            return leaf->value;
        }
    }
    return unknownTokenId_;
}

std::optional<std::string> UnigramTokenizer::convertIdToToken(TokenId id) const {
    if (id < 0 || id >= static_cast<TokenId>(vocab_.size())) {
        return std::nullopt;
    }
    return vocab_[id].token;
}

} // namespace orvane
