#pragma once
// What the string-splitting operations search for: a literal text (exact code units) or a regular
// expression in ICU syntax, searched with the platform's string-search semantics (each search covers
// the rest of the text; after an empty match the next search starts one character further).

#include "OrvaneCore/Text/Regex.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class SearchPattern {
public:
    /// Searches for `literal` itself; an empty literal is never found.
    static SearchPattern literal(std::string_view literal);
    /// Compiles `pattern`; throws text::RegexError when it does not compile.
    static SearchPattern regularExpression(std::string_view pattern);
    static SearchPattern regularExpression(text::Regex regex);

    /// Every match, left to right, as UTF-16 ranges.
    std::vector<text::Utf16Range> ranges(std::u16string_view text) const;

private:
    std::u16string literal_;
    std::shared_ptr<const text::Regex> regex_;
};

} // namespace orvane
