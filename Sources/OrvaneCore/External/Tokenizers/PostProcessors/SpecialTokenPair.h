#pragma once
// A special token as post-processors are configured with it: its id and its text (only the text is used).

#include <cstdint>
#include <string>
#include <utility>

namespace orvane {

class Config;

using SpecialTokenPair = std::pair<std::uint64_t, std::string>;

/// The token of a "sep" or "cls" member; throws TokenizerError (mismatchedConfig "Missing `<member>`
/// processor configuration") when the member is not a token.
SpecialTokenPair requiredSpecialToken(const Config& config, const char* member);

} // namespace orvane
