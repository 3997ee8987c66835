#pragma once
// Text helpers of the tokenizer models, with fast paths for the common case: text whose code points
// all lie below U+0300 (ASCII, Latin-1, and every byte-level token) is already in canonical form and
// has one user-perceived character per code point, except for CR LF.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

/// Byte offsets of the user-perceived character boundaries of well-formed UTF-8 text, 0 and the
/// text's size included ({0} for empty text).
std::vector<std::size_t> characterBoundaries(std::string_view utf8);

/// The user-perceived characters of well-formed UTF-8 text, as views into it.
std::vector<std::string_view> characters(std::string_view utf8);

/// The canonical (NFC) form, so canonically equivalent texts give the same key.
std::string canonicalText(std::string_view utf8);

/// The text itself when it is well-formed UTF-8, else with each invalid part replaced by U+FFFD.
std::string wellFormedText(std::string_view bytes);

} // namespace orvane
