#pragma once
// The stream format a tap delivers in.

namespace velmora {

struct TapFormat {
    int channels = 0;
    double sampleRate = 0;
};

} // namespace velmora
