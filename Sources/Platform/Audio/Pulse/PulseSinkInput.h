#pragma once
// One stream an application plays into a sink, as far as following what the machine plays needs it.

#include <cstdint>
#include <string>

namespace audio {

struct PulseSinkInput {
    /// The server's index of the stream.
    uint32_t index = 0;
    /// The index of the sink it plays into.
    uint32_t sink = 0;
    /// True while the application holds it paused: nothing of it is heard.
    bool corked = false;
    /// The stream's name as the application gave it.
    std::string name;
};

} // namespace audio
