#include "TrackFiles.h"

#include "Support/Audio/TestAudioFile.h"

#include <cmath>
#include <iostream>
#include <numbers>

namespace transcriptiontest {

std::vector<float> burstTrack(std::int64_t count, const std::vector<velmora::SampleRange>& bursts,
                              float amplitude) {
    std::vector<float> samples(static_cast<std::size_t>(count), 0.0f);
    for (const auto& burst : bursts) {
        for (std::int64_t i = burst.start; i < burst.end; ++i) {
            samples[static_cast<std::size_t>(i)] =
                amplitude *
                static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(i) / 16000.0));
        }
    }
    return samples;
}

void writeTrack(const std::filesystem::path& path, const std::vector<float>& samples) {
    audiotest::writeAudioFile(path, audiotest::FileKind::wavF32, 16000, {samples});
}

CapturedOutput::CapturedOutput() : original_(std::cout.rdbuf(captured_.rdbuf())) {}

CapturedOutput::~CapturedOutput() {
    std::cout.rdbuf(original_);
}

} // namespace transcriptiontest
