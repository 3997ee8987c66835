#pragma once
// Conversions between UTF-8 (the system's text type) and UTF-16 (the unit the Unicode services and
// regular expressions count positions in), plus code-point iteration. Invalid input never throws:
// each maximal invalid subpart becomes one U+FFFD, the policy decoders of byte streams rely on.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::text {

inline constexpr char32_t replacementCharacter = U'\uFFFD';

/// UTF-8 to UTF-16; invalid sequences become U+FFFD (maximal-subpart rule).
std::u16string toUtf16(std::string_view utf8);

/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view utf16);

/// Arbitrary bytes to well-formed UTF-8, each maximal invalid subpart replaced by U+FFFD.
std::string decodeUtf8(std::string_view bytes);

/// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

/// Decodes the code point at `offset` and advances `offset` past it (U+FFFD for an invalid subpart).
/// Precondition: offset < utf8.size().
char32_t nextCodePoint(std::string_view utf8, std::size_t& offset);

/// Appends the UTF-8 encoding of a code point (surrogates and values above U+10FFFF become U+FFFD).
void appendUtf8(std::string& out, char32_t codePoint);

/// The UTF-8 encoding of one code point.
std::string utf8(char32_t codePoint);

/// All code points of UTF-8 text, invalid subparts as U+FFFD.
std::u32string toCodePoints(std::string_view utf8);

/// UTF-8 text of a sequence of code points.
std::string fromCodePoints(std::u32string_view codePoints);

/// Number of UTF-16 units the UTF-8 text converts to.
std::size_t utf16Length(std::string_view utf8);

/// Calls f(codePoint) for each code point of UTF-8 text, in order.
template <typename F> void forEachCodePoint(std::string_view utf8, F&& f) {
    for (std::size_t offset = 0; offset < utf8.size();) {
        f(nextCodePoint(utf8, offset));
    }
}

} // namespace orvane::text
