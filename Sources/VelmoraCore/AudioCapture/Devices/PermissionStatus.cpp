#include "VelmoraCore/AudioCapture/Devices/PermissionStatus.h"

namespace velmora {

std::string permissionStatusName(PermissionStatus status) {
    switch (status) {
    case PermissionStatus::granted:
        return "granted";
    case PermissionStatus::denied:
        return "denied";
    case PermissionStatus::notDetermined:
        return "notDetermined";
    }
    return "denied";
}

} // namespace velmora
