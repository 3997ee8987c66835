#pragma once
// The sound server's own answers: who it is and which devices are its defaults.

#include <string>

namespace audio {

struct PulseServerInfo {
    std::string serverName;
    std::string serverVersion;
    /// Empty when the server has no default of that kind.
    std::string defaultSinkName;
    std::string defaultSourceName;
};

} // namespace audio
