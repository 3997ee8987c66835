#pragma once
// Vocabularies whose keys are texts compared by canonical equivalence (precomposed "é" and "e" plus a
// combining accent are one key), as WordPiece vocabularies are looked up.

#include "OrvaneCore/External/Tokenizers/Pipeline/TokenId.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace orvane {

/// A vocabulary whose keys compare canonically equivalent texts as equal; it remembers each key as
/// it was first written.
class CanonicalVocabulary {
public:
    /// Sets the id of `token` (the first spelling of a key is kept, the id replaced).
    void set(const std::string& token, TokenId id);
    std::optional<TokenId> find(std::string_view token) const;
    /// Id to token text.
    std::unordered_map<TokenId, std::string> inverted() const;

private:
    struct Entry {
        std::string text;
        TokenId id;
    };
    std::unordered_map<std::string, Entry> entries_;
};

} // namespace orvane
