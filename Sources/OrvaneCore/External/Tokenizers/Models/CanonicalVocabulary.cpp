#include "OrvaneCore/External/Tokenizers/Models/CanonicalVocabulary.h"

#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"

namespace orvane {

void CanonicalVocabulary::set(const std::string& token, TokenId id) {
    auto [entry, inserted] = entries_.try_emplace(canonicalText(token), Entry{token, id});
    if (!inserted) {
        entry->second.id = id;
    }
}

std::optional<TokenId> CanonicalVocabulary::find(std::string_view token) const {
    if (auto entry = entries_.find(canonicalText(token)); entry != entries_.end()) {
        return entry->second.id;
    }
    return std::nullopt;
}

std::unordered_map<TokenId, std::string> CanonicalVocabulary::inverted() const {
    std::unordered_map<TokenId, std::string> out;
    for (const auto& [key, entry] : entries_) {
        out[entry.id] = entry.text;
    }
    return out;
}

} // namespace orvane
