#include "OrvaneCore/External/Tokenizers/Pipeline/AddedTokenMatcher.h"

#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"

#include <algorithm>

namespace orvane {
namespace {

// The blank class of the expression ("\s", the White_Space property) for the code point at `at`.
bool whiteSpaceAt(std::string_view text, std::size_t at, std::size_t* next = nullptr) {
    std::size_t offset = at;
    char32_t codePoint = text::nextCodePoint(text, offset);
    if (next)
        *next = offset;
    return text::isWhiteSpace(codePoint);
}

std::size_t endOfWhiteSpace(std::string_view text, std::size_t at) {
    std::size_t next = at;
    while (at < text.size() && whiteSpaceAt(text, at, &next))
        at = next;
    return at;
}

} // namespace

AddedTokenMatcher::AddedTokenMatcher(const std::vector<Entry>& entries) : entries_(entries), nodes_(1) {
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        const Entry& entry = entries_[index];
        if (entry.content.empty())
            continue;
        int node = 0;
        for (unsigned char byte : entry.content) {
            int next = child(node, byte);
            if (next < 0) {
                next = static_cast<int>(nodes_.size());
                auto& children = nodes_[node].children;
                children.insert(std::lower_bound(children.begin(), children.end(), std::make_pair(byte, 0)),
                                {byte, next});
                nodes_.emplace_back();
            }
            node = next;
        }
        nodes_[node].entries.push_back(static_cast<int>(index));
        anyPrefix_ = anyPrefix_ || entry.prefix;
        whitespaceLeadingToken_ = whitespaceLeadingToken_ || whiteSpaceAt(entry.content, 0);
    }
}

int AddedTokenMatcher::child(int node, unsigned char byte) const {
    const auto& children = nodes_[node].children;
    auto found = std::lower_bound(children.begin(), children.end(), std::make_pair(byte, 0));
    return found != children.end() && found->first == byte ? found->second : -1;
}

template <typename Visit>
void AddedTokenMatcher::tokensAt(std::string_view text, std::size_t at, Visit&& visit) const {
    int node = 0;
    for (std::size_t i = at; i < text.size(); ++i) {
        node = child(node, static_cast<unsigned char>(text[i]));
        if (node < 0)
            return;
        for (int entry : nodes_[node].entries)
            visit(entry, i + 1 - at);
    }
}

// At each position the earliest entry that matches wins, as in an ordered alternation. An entry with a
// blank prefix ("\s*" before it, greedy) matches at a position when blanks run from there to its token;
// it only starts where a blank run starts (or where the search starts), since a match from inside the
// run is always preceded by one from its start.
std::optional<AddedTokenMatcher::Match> AddedTokenMatcher::find(std::string_view text,
                                                                std::size_t from) const {
    bool afterWhiteSpace = false;
    for (std::size_t at = from; at < text.size();) {
        std::size_t next = at;
        bool blank = whiteSpaceAt(text, at, &next);
        int best = -1;
        std::size_t bestStart = 0, bestLength = 0;
        auto consider = [&](int entry, std::size_t start, std::size_t length) {
            if (best < 0 || entry < best) {
                best = entry;
                bestStart = start;
                bestLength = length;
            }
        };
        bool prefixAllowed = at == from || !afterWhiteSpace;
        tokensAt(text, at, [&](int entry, std::size_t length) {
            // A blank-prefixed entry at a blank is found by the run below, with its greedy blanks.
            if (!entries_[entry].prefix || (prefixAllowed && !blank))
                consider(entry, at, length);
        });
        if (anyPrefix_ && blank && prefixAllowed) {
            // Greedy blanks: the token as far right in the run as it matches.
            std::size_t runEnd = endOfWhiteSpace(text, at);
            std::vector<bool> seen(entries_.size(), false);
            for (std::size_t start = runEnd;;) {
                tokensAt(text, start, [&](int entry, std::size_t length) {
                    if (entries_[entry].prefix && !seen[entry]) {
                        seen[entry] = true;
                        consider(entry, start, length);
                    }
                });
                if (start == at || !whitespaceLeadingToken_)
                    break;
                // Step back one code point (a continuation byte never starts one).
                do {
                    --start;
                } while (start > at && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80);
            }
        }
        if (best >= 0) {
            std::size_t end = bestStart + bestLength;
            Match match{at, end, bestStart, end};
            if (entries_[best].suffix)
                match.end = endOfWhiteSpace(text, end);
            return match;
        }
        afterWhiteSpace = blank;
        at = next;
    }
    return std::nullopt;
}

std::vector<std::string> AddedTokenMatcher::split(std::string_view text) const {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    bool matched = false;
    for (std::size_t from = 0; from < text.size();) {
        auto match = find(text, from);
        if (!match)
            break;
        matched = true;
        if (match->start > start)
            pieces.emplace_back(text.substr(start, match->start - start));
        pieces.emplace_back(text.substr(match->contentStart, match->contentEnd - match->contentStart));
        start = from = match->end;
    }
    if (!matched)
        return {std::string(text)};
    if (start < text.size())
        pieces.emplace_back(text.substr(start));
    return pieces;
}

} // namespace orvane
