#pragma once
// Audio the tests make and read back: tones with clicks whose position shows any shift, and a whole
// file read through the audio layer's reader to check what a writer or a conversion produced.

#include "Support/Audio/TestAudioFile.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace audiotest {

/// A quiet 440 Hz sine with one loud click (0.95) per channel at frame `click` (channel c's click c
/// frames later, so a swap of channels shows too).
Planes sineWithClick(int channels, std::int64_t frames, double sampleRate, std::int64_t click);

/// Pointers to each plane at `offset`, the form the writers take.
std::vector<const float*> planePointers(const Planes& planes, std::int64_t offset = 0);

struct ReadBack {
    double sampleRate = 0;
    Planes planes; // one per channel, all of the file's stated length
};

/// Reads the file in blocks of an odd size (so block edges fall anywhere). Throws when the reader
/// delivers a different number of frames than it states.
ReadBack readBack(const std::filesystem::path& path);

/// The first frame at which |sample| exceeds `threshold`, or -1.
std::int64_t firstAbove(const std::vector<float>& plane, float threshold);

/// AAC smears a click over a few samples: the first sample well above the sine, per channel, must be
/// within two frames of where `sineWithClick` put it.
void expectClickAt(const ReadBack& back, std::int64_t click);

} // namespace audiotest
