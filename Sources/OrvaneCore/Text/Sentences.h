#pragma once
// Sentence segmentation by the Unicode sentence-boundary rules (locale-independent root rules).

#include "OrvaneCore/Text/Utf16Range.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvane::text {

/// The sentences of UTF-16 text as consecutive ranges covering all of it (none for empty text).
std::vector<Utf16Range> sentenceRanges(std::u16string_view utf16);

/// The sentences of UTF-8 text, trailing spaces included, concatenating back to the text.
std::vector<std::string> sentences(std::string_view utf8);

} // namespace orvane::text
