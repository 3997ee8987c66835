#pragma once
// JSON parsing with a nesting limit for documents read from model folders. The parser itself does not
// recurse, but writing a document back out and walking it do, so a file of a million nested brackets
// would overflow the stack far from where it was read; such a document is refused at parse time.

#include <nlohmann/json.hpp>
#include <string_view>

namespace ml {

/// Deeper than any model description needs.
inline constexpr int kMaxJsonDepth = 64;

/// The parsed value, or a discarded value when the text is not JSON; `tooDeep` tells whether arrays and
/// objects nest more than `maxDepth` levels (the value is then discarded too).
nlohmann::json parseBoundedJson(std::string_view text, bool& tooDeep, int maxDepth = kMaxJsonDepth);

} // namespace ml
