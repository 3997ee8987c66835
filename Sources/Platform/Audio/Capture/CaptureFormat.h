#pragma once
// The shape of captured audio: 32-bit float samples, interleaved when there is more than one channel,
// handed over in blocks of a fixed number of frames.

#include <cstdint>

namespace audio {

struct CaptureFormat {
    uint32_t sampleRate = 16000;
    uint32_t channels = 1;
    /// Frames per delivered block: 1,600 at 16 kHz is one block every 0.1 s.
    uint32_t blockFrames = 1600;
};

} // namespace audio
