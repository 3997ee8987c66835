#pragma once
// Text helpers shared by the decoders and the engine: trimming repeated trailing characters, and finding
// the last natural place to cut a text (sentence end, clause mark, space) that still holds enough tokens.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

/// `text` without up to `count` trailing copies of `character` (one user-perceived character, compared by
/// canonical equivalence). A count below 1 leaves the text unchanged. Throws std::invalid_argument when
/// `character` is not exactly one user-perceived character.
std::string trimmingFromEnd(std::string_view text, std::string_view character, int count);

/// Turns text into token ids; only the number of ids matters here.
using TokenEncoder = std::function<std::vector<std::int64_t>(const std::string&)>;

/// The longest prefix of `text` that ends at a natural boundary and whose trimmed form encodes to at
/// least `minTokenCount` tokens: first sentence ends (the last sentence only when it looks finished),
/// then clause marks followed by white space or the end, then the last space. None when nothing qualifies.
/// `encode` runs on the calling thread.
std::optional<std::string> lastNaturalBoundary(std::string_view text, int minTokenCount,
                                               const TokenEncoder& encode);

} // namespace orvane
