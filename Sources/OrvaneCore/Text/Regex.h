#pragma once
// A compiled regular expression in ICU syntax (Unicode property classes, \uhhhh escapes, look-ahead).
// Compile once, use from any number of threads at once. Positions are UTF-16 unit offsets.
//
// Searching follows the platform string-search semantics the tokenizers were defined with: each search
// runs over the rest of the text as a region with anchoring bounds, so "^" matches where a search starts.
// An empty pattern matches nothing (rather than the empty string between every character).

#include "OrvaneCore/Text/RegexMatch.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::text {

class Regex {
public:
    /// Compiles `pattern`; throws RegexError naming the pattern and the engine's error.
    explicit Regex(std::string_view pattern);

    /// The pattern as given.
    const std::string& pattern() const;

    /// Number of capture groups (group 0 not counted).
    std::size_t groupCount() const;

    /// First match within [from, text.size()), searched as a region starting at `from`.
    std::optional<RegexMatch> firstMatch(std::u16string_view text, std::size_t from = 0) const;

    /// Every match, left to right: each search covers the rest of the text; after an empty match the
    /// next search starts one user-perceived character further.
    std::vector<RegexMatch> findAll(std::u16string_view text) const;

    /// findAll, whole-match ranges only (no capture groups; cheaper).
    std::vector<Utf16Range> findAllRanges(std::u16string_view text) const;

    /// findAll over UTF-8 text, returning the matched texts.
    std::vector<std::string> matchedTexts(std::string_view utf8) const;

    /// True when the pattern matches anywhere in the text.
    bool contains(std::string_view utf8) const;

    /// Every match replaced by `replacementTemplate`, where "$n" is capture group n and "\$" a literal
    /// dollar; throws RegexError for a template naming a group the pattern lacks.
    std::u16string replaceAll(std::u16string_view text, std::u16string_view replacementTemplate) const;
    std::string replaceAll(std::string_view utf8, std::string_view replacementTemplate) const;

    /// A pattern that matches `literal` exactly (every ASCII character that is not a letter or digit
    /// escaped with a backslash).
    static std::string escape(std::string_view literal);

    struct State;

private:
    std::shared_ptr<const State> state_;
};

} // namespace orvane::text
