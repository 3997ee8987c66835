#pragma once
// How much room the save folder's volume has, and the floor below which a recording is refused.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace velmora {

struct DiskSpace {
    /// 10 GB (decimal).
    static constexpr int64_t warningThresholdBytes = 10'000'000'000;

    /// The bytes an unprivileged user may still write on the volume holding `path`; none when the
    /// volume cannot be asked (a path that does not exist, say).
    static std::optional<int64_t> availableBytes(const std::filesystem::path& path);
    /// True only when the space is known and below the threshold: an unknown answer never blocks.
    static bool isBelowWarningThreshold(const std::filesystem::path& path);
    /// The same test for a known answer.
    static bool isBelowWarningThreshold(std::optional<int64_t> availableBytes);
};

} // namespace velmora
