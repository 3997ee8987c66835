#pragma once
// One piece of a longer audio with its place in the whole.

#include <cstdint>
#include <vector>

namespace sonavex {

struct AudioChunk {
    /// Index of the chunk's first sample in the whole audio, at 16 kHz.
    int64_t seekOffsetIndex = 0;
    std::vector<float> audioSamples;
};

} // namespace sonavex
