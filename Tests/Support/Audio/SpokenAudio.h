#pragma once
// Speech between silences for voice-activity tests: phrases spoken by espeak-ng at run time, converted
// to 16 kHz mono by sox, placed with known silences between them, so a test knows where speech is.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace audiotest {

struct SpokenAudio {
    std::vector<float> samples;
    /// Each phrase's [start, end) in samples, in order.
    std::vector<std::pair<std::int64_t, std::int64_t>> phrases;
};

/// `leadingSilence` samples of silence, then each phrase followed by `pause` samples of silence.
/// Throws std::runtime_error when espeak-ng or sox is missing or fails.
SpokenAudio speakWithPauses(const std::vector<std::string>& phrases, std::int64_t pause,
                            std::int64_t leadingSilence = 0);

} // namespace audiotest
