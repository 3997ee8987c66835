#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"

#include <cstdint>
#include <limits>
#include <sys/statvfs.h>

namespace velmora {

std::optional<int64_t> DiskSpace::availableBytes(const std::filesystem::path& path) {
    struct statvfs volume {};
    if (statvfs(path.c_str(), &volume) != 0) {
        return std::nullopt;
    }
    // Huge volumes report more bytes than a signed 64-bit count holds: saturate instead of wrapping.
    int64_t bytes = 0;
    if (__builtin_mul_overflow(volume.f_bavail, volume.f_frsize, &bytes)) {
        return std::numeric_limits<int64_t>::max();
    }
    return bytes;
}

bool DiskSpace::isBelowWarningThreshold(const std::filesystem::path& path) {
    return isBelowWarningThreshold(availableBytes(path));
}

bool DiskSpace::isBelowWarningThreshold(std::optional<int64_t> availableBytes) {
    return availableBytes && *availableBytes < warningThresholdBytes;
}

} // namespace velmora
