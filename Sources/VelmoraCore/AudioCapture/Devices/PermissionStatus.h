#pragma once
// Whether the system lets us record one of the two tracks.

#include <string>

namespace velmora {

enum class PermissionStatus { granted, denied, notDetermined };

/// The case's name: "granted", "denied" or "notDetermined".
std::string permissionStatusName(PermissionStatus status);

} // namespace velmora
