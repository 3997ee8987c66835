#pragma once
// Unicode character properties of single code points: general category and the few derived
// predicates the tokenizers and configuration keys test.

#include <cstdint>

namespace orvane::text {

/// Unicode general categories, named by their two-letter property values.
// clang-format off
enum class GeneralCategory : std::uint8_t {
    Lu, Ll, Lt, Lm, Lo,         // letters
    Mn, Mc, Me,                 // marks
    Nd, Nl, No,                 // numbers
    Pc, Pd, Ps, Pe, Pi, Pf, Po, // punctuation
    Sm, Sc, Sk, So,             // symbols
    Zs, Zl, Zp,                 // separators
    Cc, Cf, Cs, Co, Cn,         // other
};
// clang-format on

/// The general category of a code point (Cn for unassigned code points and values above U+10FFFF).
GeneralCategory generalCategory(char32_t codePoint);

/// True for the White_Space property (space, tab, line breaks, U+0085, U+00A0, U+3000, ...).
bool isWhiteSpace(char32_t codePoint);

/// True for general category Zs and U+0009 TAB: the platform's "whitespace" set (line breaks excluded).
bool isHorizontalWhiteSpace(char32_t codePoint);

/// True for general categories Z*, U+0009 to U+000D and U+0085: the platform's "whitespace and newlines" set.
bool isWhiteSpaceOrNewline(char32_t codePoint);

/// True for general categories P* (note: "$", "+", "<", "^" are symbols, not punctuation).
bool isPunctuation(char32_t codePoint);

/// True for general categories L*.
bool isLetter(char32_t codePoint);

/// True for general categories M*.
bool isMark(char32_t codePoint);

/// True for general categories N*.
bool isNumber(char32_t codePoint);

} // namespace orvane::text
