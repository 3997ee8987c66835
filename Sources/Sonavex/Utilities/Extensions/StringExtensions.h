#pragma once
// Clean-ups the engine applies to token and word texts before comparing them.

#include <string>
#include <string_view>

namespace sonavex {

/// The text without the special-token delimiters ("<", "|", ">") at either end; those inside stay.
std::string trimmingSpecialTokenCharacters(std::string_view text);

/// The comparison form of a word or text: lower-cased, "-" turned into a space, Unicode punctuation
/// removed, runs of spaces made one, white space and line breaks trimmed from both ends.
std::string normalized(std::string_view text);

} // namespace sonavex
