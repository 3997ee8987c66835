#pragma once
// A guess at the language of a text from its writing system: the script most of its letters belong
// to. Only scripts that stand for one language (or one family written the same way) give a code; Latin,
// Cyrillic and the like give none.

#include <optional>
#include <string>
#include <string_view>

namespace sonavex {

/// "ja" (kana, with the Han characters around them), "zh" (Han without kana), "th", "lo", "my", "ko",
/// or nothing when another script, or none, has most letters.
std::optional<std::string> dominantLanguageCode(std::string_view utf8);

} // namespace sonavex
