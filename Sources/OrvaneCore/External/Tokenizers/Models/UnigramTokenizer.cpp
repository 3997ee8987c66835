#include "OrvaneCore/External/Tokenizers/Models/UnigramTokenizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenLattice.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"

namespace orvane {
namespace {

std::vector<std::string> characterTexts(std::string_view text) {
    const std::vector<std::string_view> views = characters(text);
    return {views.begin(), views.end()};
}

// Stands for a character that no piece holds, so a walk leaves the trie there.
constexpr std::uint32_t absentCharacter = UINT32_MAX;

std::vector<UnigramTokenizer::SentencePieceToken> vocabFromConfig(const Config& tokenizerData) {
    const Config::Array* entries = tokenizerData["model"]["vocab"].array();
    if (!entries) {
        throw TokenizerError::missingVocab();
    }
    std::vector<UnigramTokenizer::SentencePieceToken> vocab;
    vocab.reserve(entries->size());
    for (const Config& entry : *entries) {
        const Config::Array* fields = entry.array();
        std::optional<std::string> text =
            fields && !fields->empty() ? fields->front().string() : std::nullopt;
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
    // Braces, not parentheses: they evaluate left to right, so a missing vocabulary is reported before a
    // missing unknown id (argument order in parentheses is unspecified, and GCC goes right to left).
    : UnigramTokenizer{vocabFromConfig(tokenizerData), unknownIdFromConfig(tokenizerData),
                       tokenizerConfig["eosToken"].string()} {}

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
        std::vector<std::uint32_t> keys;
        for (std::string_view character : characters(vocab_[id].token)) {
            auto [entry, added] = characterIds_.try_emplace(canonicalText(character), 0);
            if (added) {
                entry->second = static_cast<std::uint32_t>(characterIds_.size() - 1);
            }
            keys.push_back(entry->second);
        }
        trie_.insert(keys, static_cast<TokenId>(id));
    }
}

template <typename Characters>
std::vector<std::uint32_t> UnigramTokenizer::characterKeys(const Characters& texts) const {
    std::vector<std::uint32_t> keys;
    keys.reserve(texts.size());
    for (std::string_view character : texts) {
        auto found = characterIds_.find(canonicalText(character));
        keys.push_back(found == characterIds_.end() ? absentCharacter : found->second);
    }
    return keys;
}

std::vector<std::string> UnigramTokenizer::tokenize(const std::string& text) const {
    std::vector<std::string> pieceCharacters = characterTexts(text);
    const std::vector<std::uint32_t> keys = characterKeys(pieceCharacters);
    TokenLattice lattice(std::move(pieceCharacters), bosTokenId_.value_or(0), eosTokenId_.value_or(0));
    for (std::size_t start = 0; start < keys.size(); ++start) {
        bool foundSingleCharacter = false;
        LeavesWithCommonPrefixIterator<std::uint32_t> walk(trie_, keys, start);
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
    const std::vector<std::uint32_t> keys = characterKeys(characters(token));
    LeavesWithCommonPrefixIterator<std::uint32_t> walk(trie_, keys);
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
