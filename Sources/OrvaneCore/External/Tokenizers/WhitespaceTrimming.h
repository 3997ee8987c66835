#pragma once
// Trimming of whitespace at the ends of a token, by user-perceived characters.

#include <string>
#include <string_view>

namespace orvane {

/// True when the character's first code point has the White_Space property.
bool isWhitespaceCharacter(std::string_view character);

/// Every leading and trailing run of whitespace characters cut to its first character
/// ("  hello  " -> " hello "). A token made only of whitespace becomes its first character, so the
/// two runs, which are the same characters, are not cut twice.
std::string trimmingExtraSpaces(const std::string& token);

/// Leading and trailing space separators (Zs) and tabs removed; line breaks stay.
std::string trimmingBlanks(const std::string& token);

} // namespace orvane
