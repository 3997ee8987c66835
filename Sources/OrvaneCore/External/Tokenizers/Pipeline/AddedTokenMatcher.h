#pragma once
// Finds added tokens in text with exactly the matches of the added-token expression (alternatives in
// order, each optionally swallowing the blanks before and after the token), but through a trie of the
// token texts. The expression engine tries every alternative, saving every capture group, at each
// position that could start a token; with the speech models' 1,600 tokens that cost milliseconds per
// "<" in the text, while the trie costs a few steps.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class AddedTokenMatcher {
public:
    struct Entry {
        std::string content; // not empty
        bool prefix;         // swallows the blanks before the token
        bool suffix;         // swallows the blanks after the token
    };
    /// Byte offsets of one match and of the token inside it.
    struct Match {
        std::size_t start, end;
        std::size_t contentStart, contentEnd;
    };

    /// `entries` in the order the expression lists them (an earlier entry wins at the same position).
    explicit AddedTokenMatcher(const std::vector<Entry>& entries);

    /// The first match in well-formed UTF-8 `text` at or after `from`, searching the rest of the text.
    std::optional<Match> find(std::string_view text, std::size_t from) const;

    /// The split at added tokens: the non-empty texts between matches and each match's token without
    /// its blanks; the text itself when nothing matches (even when empty).
    std::vector<std::string> split(std::string_view text) const;

private:
    struct Node {
        std::vector<std::pair<unsigned char, int>> children; // sorted by byte
        std::vector<int> entries;                            // entries ending here, in order
    };
    int child(int node, unsigned char byte) const;
    /// Calls visit(entry, length) for each entry whose token starts at `at`.
    template <typename Visit> void tokensAt(std::string_view text, std::size_t at, Visit&& visit) const;

    std::vector<Entry> entries_;
    std::vector<Node> nodes_;
    bool anyPrefix_ = false;
    bool whitespaceLeadingToken_ = false;
};

} // namespace orvane
