#pragma once
// Trimming of whitespace at the ends of a text or token, by user-perceived characters.

#include <string>
#include <string_view>

namespace orvane {

/// True when the character's first code point has the White_Space property.
bool isWhitespaceCharacter(std::string_view character);

/// The text without its leading (when `left`) and trailing (when `right`) whitespace characters.
std::string trimmingWhitespace(std::string_view text, bool left = true, bool right = true);

/// Every leading and trailing run of whitespace characters cut to its first character
/// ("  hello  " -> " hello "). A token made only of whitespace becomes its first character, so the
/// two runs, which are the same characters, are not cut twice.
std::string trimmingExtraSpaces(std::string_view token);

/// Leading and trailing space separators (Zs) and tabs removed; line breaks stay.
std::string trimmingBlanks(std::string_view token);

} // namespace orvane
