#include "OrvaneCore/External/Tokenizers/Models/BPETokenizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenizerModel.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/ByteLevelPattern.h"
#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"
#include "OrvaneCore/Text/Encoding.h"

#include <cstdio>
#include <queue>
#include <utility>

namespace orvane {
namespace {

constexpr std::size_t cacheLimit = 200'000;
constexpr std::size_t cacheablePieceLength = 256;

} // namespace

struct BPETokenizer::Cache {
    std::mutex mutex;
    std::unordered_map<std::string, std::vector<std::string>> tokens;
};

BPETokenizer::BPETokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                           const std::unordered_map<std::string, TokenId>& addedTokens)
    : cache_(std::make_unique<Cache>()) {
    const Config& model = tokenizerData["model"];
    auto merges = mergesFromConfig(model["merges"]);
    if (!merges)
        throw TokenizerError::mismatchedConfig("BPETokenizer requires merges");
    const Config::Dictionary* vocab = model["vocab"].dictionary();
    if (!vocab)
        throw TokenizerError::missingVocab();

    Parts parts;
    parts.merges = std::move(*merges);
    parts.vocab.reserve(vocab->size() + addedTokens.size());
    for (const auto& [text, id] : addedTokens)
        parts.vocab.emplace(text, id);
    for (const auto& [key, value] : *vocab) {
        // Added tokens win over the vocabulary's entry of the same text; non-integer ids are left out.
        if (auto id = value.integer())
            parts.vocab.emplace(key.string(), *id);
    }
    parts.unknownToken = TokenizerModel::unknownToken(tokenizerConfig);
    parts.eosToken = addedTokenAsString(&tokenizerConfig["eosToken"]);
    parts.bosToken = addedTokenAsString(&tokenizerConfig["bosToken"]);
    parts.fuseUnknownTokens = tokenizerConfig["fuseUnk"].boolean().value_or(false);
    build(std::move(parts));
}

std::optional<std::vector<std::vector<std::string>>> BPETokenizer::mergesFromConfig(const Config& config) {
    const Config::Array* elements = config.array();
    if (!elements)
        return std::nullopt;
    std::vector<std::vector<std::string>> merges;
    merges.reserve(elements->size());
    for (const Config& element : *elements) {
        if (auto text = element.string()) {
            std::vector<std::string> parts;
            std::size_t start = 0;
            for (std::size_t space; (space = text->find(' ', start)) != std::string::npos;
                 start = space + 1) {
                parts.push_back(text->substr(start, space - start));
            }
            parts.push_back(text->substr(start));
            merges.push_back(std::move(parts));
        } else if (auto strings = element.get()) {
            merges.push_back(std::move(*strings));
        }
    }
    return merges;
}

BPETokenizer::BPETokenizer(Parts parts) : cache_(std::make_unique<Cache>()) {
    build(std::move(parts));
}

BPETokenizer::~BPETokenizer() = default;

void BPETokenizer::build(Parts parts) {
    symbolIds_.reserve(parts.merges.size() * 2);
    merges_.reserve(parts.merges.size());
    for (std::size_t rank = 0; rank < parts.merges.size(); ++rank) {
        const auto& merge = parts.merges[rank];
        // An entry without two symbols cannot merge anything; it only keeps its place in the ranking.
        if (merge.size() < 2)
            continue;
        std::string a = canonicalText(merge[0]);
        std::string b = canonicalText(merge[1]);
        std::int32_t first = internSymbol(a);
        std::int32_t second = internSymbol(b);
        std::int32_t merged = internSymbol(canonicalText(a += b));
        // A pair listed twice keeps its later rank.
        merges_.set(first, second, Merge{static_cast<int>(rank), merged});
    }

    smallSymbolIds_.assign(0x300, -1);
    for (char32_t codePoint = 0; codePoint < 0x300; ++codePoint) {
        auto found = symbolIds_.find(text::utf8(codePoint));
        if (found != symbolIds_.end())
            smallSymbolIds_[codePoint] = found->second;
    }

    tokensToIds_ = std::move(parts.vocab);
    // When two texts share an id, the later one in iteration order is kept, as inverting the map would.
    const std::size_t denseLimit = tokensToIds_.size() * 2 + 1024;
    for (const auto& [text, id] : tokensToIds_) {
        if (id >= 0 && static_cast<std::size_t>(id) < denseLimit) {
            if (static_cast<std::size_t>(id) >= idsToTokens_.size())
                idsToTokens_.resize(id + 1, nullptr);
            idsToTokens_[id] = &text;
        } else {
            sparseIdsToTokens_[id] = &text;
        }
    }

    auto idOf = [this](const std::optional<std::string>& token) -> std::optional<TokenId> {
        if (!token)
            return std::nullopt;
        auto found = tokensToIds_.find(*token);
        if (found == tokensToIds_.end())
            return std::nullopt;
        return found->second;
    };
    unknownToken_ = std::move(parts.unknownToken);
    unknownTokenId_ = idOf(unknownToken_);
    eosToken_ = std::move(parts.eosToken);
    eosTokenId_ = idOf(eosToken_);
    bosToken_ = std::move(parts.bosToken);
    bosTokenId_ = idOf(bosToken_);
    fuseUnknownTokens_ = parts.fuseUnknownTokens;
}

std::int32_t BPETokenizer::internSymbol(const std::string& canonical) {
    auto found = symbolIds_.find(canonical);
    if (found != symbolIds_.end())
        return found->second;
    auto id = static_cast<std::int32_t>(symbolIds_.size());
    symbolIds_.emplace(canonical, id);
    return id;
}

std::int32_t BPETokenizer::symbolId(std::string_view text) const {
    if (!text.empty()) {
        auto lead = static_cast<unsigned char>(text[0]);
        if (text.size() == 1 && lead < 0x80)
            return smallSymbolIds_[lead];
        if (text.size() == 2 && lead >= 0xC2 && lead < 0xCC) {
            return smallSymbolIds_[((lead & 0x1F) << 6) | (static_cast<unsigned char>(text[1]) & 0x3F)];
        }
    }
    auto found = symbolIds_.find(canonicalText(text));
    return found == symbolIds_.end() ? -1 : found->second;
}

const BPETokenizer::Merge* BPETokenizer::findMerge(std::int32_t a, std::int32_t b) const {
    return merges_.find(a, b);
}

std::optional<int> BPETokenizer::mergeRank(std::string_view a, std::string_view b) const {
    const Merge* merge = findMerge(symbolId(a), symbolId(b));
    if (!merge)
        return std::nullopt;
    return merge->rank;
}

// Each round takes the lowest-ranked pair present in the word and merges all its occurrences from
// left to right without overlap ("a a a" with (a, a) gives "aa a"), then looks again. A heap of
// candidate pairs keeps this near-linear in the word's length; entries made stale by a merge are
// recognised by their pair no longer having the popped rank.
std::vector<BPETokenizer::Span> BPETokenizer::mergedSymbols(std::string_view piece) const {
    std::vector<std::size_t> bounds = characterBoundaries(piece);
    std::vector<Span> spans;
    if (bounds.size() <= 2) {
        if (!piece.empty())
            spans.push_back({0, piece.size()});
        return spans;
    }
    struct Symbol {
        std::size_t start, end;
        std::int32_t id;
        int prev, next;
        bool alive;
    };
    int count = static_cast<int>(bounds.size()) - 1;
    std::vector<Symbol> word(count);
    for (int i = 0; i < count; ++i) {
        word[i] = {bounds[i],
                   bounds[i + 1],
                   symbolId(piece.substr(bounds[i], bounds[i + 1] - bounds[i])),
                   i - 1,
                   i + 1 < count ? i + 1 : -1,
                   true};
    }

    using Entry = std::pair<int, int>; // rank, position of the pair's left symbol
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> candidates;
    auto addCandidate = [&](int left) {
        if (left < 0 || word[left].next < 0)
            return;
        if (const Merge* merge = findMerge(word[left].id, word[word[left].next].id)) {
            candidates.push({merge->rank, left});
        }
    };
    for (int i = 0; i + 1 < count; ++i)
        addCandidate(i);

    std::vector<int> round, merged;
    while (!candidates.empty()) {
        int rank = candidates.top().first;
        round.clear();
        while (!candidates.empty() && candidates.top().first == rank) {
            round.push_back(candidates.top().second); // ascending positions
            candidates.pop();
        }
        merged.clear();
        for (int left : round) {
            if (!word[left].alive || word[left].next < 0)
                continue;
            if (!merged.empty() && merged.back() == left)
                continue;
            int right = word[left].next;
            const Merge* merge = findMerge(word[left].id, word[right].id);
            if (!merge || merge->rank != rank)
                continue;
            word[left].end = word[right].end;
            word[left].id = merge->merged;
            word[left].next = word[right].next;
            if (word[right].next >= 0)
                word[word[right].next].prev = left;
            word[right].alive = false;
            merged.push_back(left);
        }
        for (int left : merged) {
            addCandidate(word[left].prev);
            addCandidate(left);
        }
    }

    for (int i = 0; i >= 0; i = word[i].next)
        spans.push_back({word[i].start, word[i].end});
    return spans;
}

std::string BPETokenizer::bpe(const std::string& token) const {
    std::string piece = wellFormedText(token);
    std::string joined;
    for (const Span& span : mergedSymbols(piece)) {
        if (!joined.empty())
            joined += ' ';
        joined.append(piece, span.start, span.end - span.start);
    }
    return joined;
}

std::vector<std::string> BPETokenizer::tokenize(const std::string& text) const {
    if (text.empty())
        return {};
    bool cacheable = text.size() <= cacheablePieceLength;
    if (cacheable) {
        std::lock_guard lock(cache_->mutex);
        auto found = cache_->tokens.find(text);
        if (found != cache_->tokens.end())
            return found->second;
    }
    std::string piece = wellFormedText(text);
    auto tokens = tokenizeUncached(piece);
    if (cacheable) {
        std::lock_guard lock(cache_->mutex);
        if (cache_->tokens.size() >= cacheLimit)
            cache_->tokens.clear();
        cache_->tokens.emplace(text, tokens);
    }
    return tokens;
}

std::vector<std::string> BPETokenizer::tokenizeUncached(std::string_view piece) const {
    std::vector<std::string> tokens;
    for (const Span& span : mergedSymbols(piece)) {
        std::string_view symbol = piece.substr(span.start, span.end - span.start);
        // Merged symbols are joined by spaces and split again, so a space inside a symbol separates parts.
        std::size_t start = 0;
        while (start <= symbol.size()) {
            std::size_t space = symbol.find(' ', start);
            if (space == std::string_view::npos)
                space = symbol.size();
            if (space > start) {
                std::string part(symbol.substr(start, space - start));
                if (convertTokenToId(part) == unknownTokenId_) {
                    auto bytes = hexaEncode(part);
                    tokens.insert(tokens.end(), bytes.begin(), bytes.end());
                } else {
                    tokens.push_back(std::move(part));
                }
            }
            start = space + 1;
        }
    }
    return tokens;
}

std::vector<std::string> BPETokenizer::hexaEncode(const std::string& text) {
    std::vector<std::string> tokens;
    for (const std::string& match : byteLevelPattern().matchedTexts(text)) {
        for (unsigned char byte : match) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "<0x%02X>", byte);
            tokens.emplace_back(buffer);
        }
    }
    return tokens;
}

std::optional<TokenId> BPETokenizer::convertTokenToId(const std::string& token) const {
    auto found = tokensToIds_.find(token);
    if (found == tokensToIds_.end())
        return unknownTokenId_;
    return found->second;
}

std::optional<std::string> BPETokenizer::convertIdToToken(TokenId id) const {
    if (id >= 0 && static_cast<std::size_t>(id) < idsToTokens_.size()) {
        if (const std::string* text = idsToTokens_[id])
            return *text;
        return std::nullopt;
    }
    auto found = sparseIdsToTokens_.find(id);
    if (found == sparseIdsToTokens_.end())
        return std::nullopt;
    return *found->second;
}

} // namespace orvane
