#pragma once
// The operating-system version that the engine's "version N or later" branches compare against. The
// engine's behaviour was tuned per release of its original platform; on this platform every such branch
// takes its newer side, so the default query answers with the newest version there is. Tests replace the
// query to exercise the older side.

#include <compare>
#include <cstdint>
#include <functional>
#include <limits>

namespace sonavex {

struct OperatingSystemVersion {
    int64_t majorVersion = 0;
    int64_t minorVersion = 0;
    int64_t patchVersion = 0;

    friend auto operator<=>(const OperatingSystemVersion&, const OperatingSystemVersion&) = default;

    /// Newer than any real release: what this platform counts as.
    static constexpr OperatingSystemVersion newest() {
        constexpr auto most = std::numeric_limits<int64_t>::max();
        return {most, most, most};
    }
};

using OperatingSystemVersionQuery = std::function<OperatingSystemVersion()>;

/// The version the query currently answers.
OperatingSystemVersion currentOperatingSystemVersion();

/// True when the current version is `version` or later.
bool isOperatingSystemAtLeast(OperatingSystemVersion version);

/// Replaces the process-wide query (an empty function restores the default) and returns the one it
/// replaced, so a caller can put it back. Safe to call from any thread.
OperatingSystemVersionQuery setOperatingSystemVersionQuery(OperatingSystemVersionQuery query);

} // namespace sonavex
