#pragma once
// The word-splitting expression of byte-level tokenizers (contractions, letter runs, number runs,
// other symbols, whitespace), shared by the byte-level pre-tokenizer and the byte fallback.

#include "OrvaneCore/Text/Regex.h"

namespace orvane {

inline constexpr const char* byteLevelPatternText =
    R"('s|'t|'re|'ve|'m|'ll|'d| ?\p{L}+| ?\p{N}+| ?[^\s\p{L}\p{N}]+|\s+(?!\S)|\s+)";

/// The compiled expression, built once per process.
const text::Regex& byteLevelPattern();

} // namespace orvane
