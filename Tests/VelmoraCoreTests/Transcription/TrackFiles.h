#pragma once
// Tracks for the transcription tests: 16 kHz mono samples with tone bursts where a test wants speech,
// written losslessly so the loader gives back exactly these samples; and standard output captured.

#include "VelmoraCore/Transcription/SampleRange.h"

#include <filesystem>
#include <sstream>
#include <streambuf>
#include <vector>

namespace transcriptiontest {

/// `count` samples of silence with a 440 Hz tone of peak `amplitude` over each burst.
std::vector<float> burstTrack(std::int64_t count, const std::vector<velmora::SampleRange>& bursts,
                              float amplitude = 0.5f);

/// A 32-bit float WAV at 16 kHz, mono.
void writeTrack(const std::filesystem::path& path, const std::vector<float>& samples);

/// Standard output goes into text() while this lives.
class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    std::string text() const { return captured_.str(); }

private:
    std::ostringstream captured_;
    std::streambuf* original_;
};

} // namespace transcriptiontest
