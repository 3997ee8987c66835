#pragma once
// User-perceived characters (extended grapheme clusters): what tokenizers and text positions count
// as "characters", so that "e" + combining accent, a flag or an emoji family is one character.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::text {

/// Number of user-perceived characters in UTF-8 text.
std::size_t graphemeCount(std::string_view utf8);

/// Number of user-perceived characters in UTF-16 text.
std::size_t graphemeCount(std::u16string_view utf16);

/// UTF-8 text split into its user-perceived characters, in order.
std::vector<std::string> graphemes(std::string_view utf8);

/// UTF-16 offsets of every cluster boundary, 0 and the text's length included (just {0} for empty text).
std::vector<std::size_t> graphemeBoundaries(std::u16string_view utf16);

/// The first cluster boundary after `offset` (the text's length when there is none).
std::size_t nextGraphemeBoundary(std::u16string_view utf16, std::size_t offset);

} // namespace orvane::text
