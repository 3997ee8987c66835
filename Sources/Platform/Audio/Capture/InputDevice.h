#pragma once
// One device that can be recorded from: a sound-server source that is not a monitor of an output.

#include <cstdint>
#include <string>

namespace audio {

struct InputDevice {
    /// The server's number for the device while it exists.
    uint32_t id = 0;
    /// The server's unique name, used to open a capture on it.
    std::string name;
    /// The name people see.
    std::string description;
};

} // namespace audio
