#pragma once
// Locale-independent full case mapping. Lower-casing goes one code point at a time on purpose: the
// whole-string ICU mapping applies context rules (Greek final sigma) that the system's texts must not get.

#include <string>
#include <string_view>

namespace orvane::text {

/// Full lower-case mapping of one code point (may be several code points, e.g. U+0130 -> "i̇").
std::string lowercaseMapping(char32_t codePoint);

/// UTF-8 text lower-cased one code point at a time, without context rules ("ΑΣ" -> "ασ").
std::string lowercased(std::string_view utf8);

/// Each letter that follows a cased letter lower-cased, every other letter title-cased, the way the
/// platform capitalises words ("whisper" -> "Whisper", "xlm-roberta" -> "Xlm-Roberta", "gpt2" -> "Gpt2").
std::string capitalized(std::string_view utf8);

} // namespace orvane::text
