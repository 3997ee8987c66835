#pragma once
// Who spoke a line: the user (microphone track) or the other party (system-audio track). The raw value
// is both the label in the text transcript and the value in the JSON transcript.

#include <optional>
#include <string_view>

namespace velmora {

enum class Speaker { me, other };

/// "自分" for me, "相手" for other.
std::string_view rawValue(Speaker speaker);
/// The speaker whose raw value is `text`, or none.
std::optional<Speaker> speakerFromRawValue(std::string_view text);

} // namespace velmora
