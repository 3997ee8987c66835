#pragma once
// The JSON form both repository references share: {"id": <identifier>, "type": <kind's raw value>}.

#include "OrvaneCore/External/Hub/Repositories/HubRepoType.h"

#include <string>
#include <string_view>
#include <utility>

namespace orvane {

std::string encodeRepoJson(const std::string& id, const std::string& kind);
/// Reads "id" first, then "type"; throws DecodingError when either is missing, has the wrong type, or
/// the kind is not one of the three raw values.
std::pair<std::string, HubRepoType> decodeRepoJson(std::string_view json);

} // namespace orvane
