#pragma once
// CJK ideographs are words of their own for BERT-style tokenizers: each is set apart with blanks
// before the text is split at whitespace.

#include <string>
#include <string_view>

namespace orvane {

/// True for code points of the CJK Unified Ideographs blocks and their extensions A to E, and the
/// compatibility ideographs (the ranges BERT's vocabulary was built with).
bool isCjkIdeograph(char32_t codePoint);

/// Every user-perceived character whose first code point is a CJK ideograph, framed by blanks.
std::string spacingCjkIdeographs(std::string_view text);

} // namespace orvane
