#include "Support/Audio/AudioTestFiles.h"

#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Files/PcmBuffer.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <stdexcept>
#include <string>

namespace audiotest {

Planes sineWithClick(int channels, std::int64_t frames, double sampleRate, std::int64_t click) {
    Planes planes(std::size_t(channels), std::vector<float>(std::size_t(frames), 0.0f));
    for (int c = 0; c < channels; ++c) {
        auto& plane = planes[std::size_t(c)];
        for (std::int64_t f = 0; f < frames; ++f)
            plane[std::size_t(f)] = 0.05f * float(std::sin(2 * std::numbers::pi * 440.0 * double(f) / sampleRate));
        plane[std::size_t(click + c)] = 0.95f;
    }
    return planes;
}

std::vector<const float*> planePointers(const Planes& planes, std::int64_t offset) {
    std::vector<const float*> pointers;
    for (const auto& plane : planes)
        pointers.push_back(plane.data() + offset);
    return pointers;
}

ReadBack readBack(const std::filesystem::path& path) {
    audio::AudioFileReader reader(path);
    const auto& format = reader.processingFormat();
    ReadBack result;
    result.sampleRate = format.sampleRate;
    result.planes.resize(format.channelCount);
    auto buffer = audio::PcmBuffer::create(format, 1237);
    while (const std::uint32_t frames = reader.read(*buffer)) {
        for (std::uint32_t c = 0; c < format.channelCount; ++c)
            result.planes[c].insert(result.planes[c].end(), buffer->channel(c), buffer->channel(c) + frames);
    }
    if (std::int64_t(result.planes[0].size()) != reader.length()) {
        throw std::runtime_error("reader states " + std::to_string(reader.length()) + " frames but delivers " +
                                 std::to_string(result.planes[0].size()));
    }
    return result;
}

std::int64_t firstAbove(const std::vector<float>& plane, float threshold) {
    for (std::size_t i = 0; i < plane.size(); ++i)
        if (std::fabs(plane[i]) > threshold)
            return std::int64_t(i);
    return -1;
}

void expectClickAt(const ReadBack& back, std::int64_t click) {
    for (std::size_t c = 0; c < back.planes.size(); ++c)
        EXPECT_NEAR(double(firstAbove(back.planes[c], 0.3f)), double(click + std::int64_t(c)), 2) << "channel " << c;
}

} // namespace audiotest
