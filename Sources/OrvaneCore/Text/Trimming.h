#pragma once
// Trimming by a set of code points, as the platform trims with a character set: leading and trailing
// code points in the set go, the middle is untouched.

#include <string_view>

namespace orvane::text {

/// A code-point predicate such as isWhiteSpace or isWhiteSpaceOrNewline.
using CodePointPredicate = bool (*)(char32_t);

/// The UTF-8 text without its leading and trailing code points that satisfy `trimmed`.
std::string_view trimmed(std::string_view utf8, CodePointPredicate trimmed);

/// The UTF-8 text without leading and trailing white space and newlines (isWhiteSpaceOrNewline).
std::string_view trimmedWhiteSpaceAndNewlines(std::string_view utf8);

} // namespace orvane::text
