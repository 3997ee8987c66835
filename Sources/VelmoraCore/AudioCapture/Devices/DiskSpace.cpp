#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"

#include <limits>
#include <sys/statvfs.h>

namespace velmora {

std::optional<int64_t> DiskSpace::availableBytes(const std::filesystem::path& path) {
    struct statvfs volume {};
    if (statvfs(path.c_str(), &volume) != 0) {
        return std::nullopt;
    }
    const auto blocks = static_cast<unsigned __int128>(volume.f_bavail);
    const auto bytes = blocks * static_cast<unsigned __int128>(volume.f_frsize);
    const auto largest = static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max());
    return static_cast<int64_t>(bytes > largest ? largest : bytes);
}

bool DiskSpace::isBelowWarningThreshold(const std::filesystem::path& path) {
    return isBelowWarningThreshold(availableBytes(path));
}

bool DiskSpace::isBelowWarningThreshold(std::optional<int64_t> availableBytes) {
    return availableBytes && *availableBytes < warningThresholdBytes;
}

} // namespace velmora
