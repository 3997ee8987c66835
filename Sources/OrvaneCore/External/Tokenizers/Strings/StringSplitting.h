#pragma once
// The string-splitting operations the tokenizer stages share: all matches of a pattern, splits that
// keep or drop the separators, splits that attach separators to a neighbour, and the split at added
// tokens that keeps a token's capture group. Positions are UTF-16 offsets; pieces are UTF-8.

#include "OrvaneCore/External/Tokenizers/Strings/SearchPattern.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

/// How a split keeps the separators it finds.
enum class SplitDelimiterBehavior { removed, isolated, mergedWithPrevious, mergedWithNext };

/// Every match of `pattern` in `text`, left to right, never overlapping.
std::vector<text::Utf16Range> ranges(std::u16string_view text, const SearchPattern& pattern);

/// The matched texts, in order.
std::vector<std::string> matches(std::string_view text, const SearchPattern& pattern);

/// The non-empty pieces between matches, each match also a piece when `includeSeparators`.
std::vector<std::string> split(std::string_view text, const SearchPattern& pattern, bool includeSeparators);

/// A split that keeps separators as `behavior` says; never gives empty pieces.
std::vector<std::string> split(std::string_view text, const SearchPattern& pattern,
                               SplitDelimiterBehavior behavior);

/// The split at added tokens: the non-empty texts between matches and, for each match, the text of the
/// highest-numbered capture group that took part (the whole match when none did). With no match at
/// all, the text itself is the only piece, even when empty.
std::vector<std::string> split(std::string_view text, const text::Regex& regex);

} // namespace orvane
