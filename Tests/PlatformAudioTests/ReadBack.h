#pragma once
// Reads a whole file back through the audio layer's reader, for tests that check what a writer wrote.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace audiotest {

struct ReadBack {
    double sampleRate = 0;
    std::vector<std::vector<float>> planes; // one per channel, all of the file's stated length
};

/// Reads the file in blocks of an odd size (so block edges fall anywhere). Fails the test (throws) when
/// the reader delivers a different number of frames than it states.
ReadBack readBack(const std::filesystem::path& path);

/// The first frame at which |sample| exceeds `threshold`, or -1.
int64_t firstAbove(const std::vector<float>& plane, float threshold);

} // namespace audiotest
