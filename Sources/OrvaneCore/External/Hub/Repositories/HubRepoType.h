#pragma once
// The kind of a hub repository. Its raw value is the path piece that names the kind in hub addresses
// and in the local mirror.

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

enum class HubRepoType { models, datasets, spaces };

/// "models", "datasets" or "spaces".
std::string rawValue(HubRepoType type);
/// Exactly one of the three raw values (case-sensitive); nothing for any other text.
std::optional<HubRepoType> hubRepoTypeFromRawValue(std::string_view raw);

/// The kind's JSON form: its raw value as a JSON string.
std::string toJson(HubRepoType type);
/// Throws DecodingError when the text is no JSON string or not one of the three raw values.
HubRepoType hubRepoTypeFromJson(std::string_view json);

} // namespace orvane
