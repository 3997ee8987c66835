#include "ReadBack.h"

#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Files/PcmBuffer.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace audiotest {

ReadBack readBack(const std::filesystem::path& path) {
    audio::AudioFileReader reader(path);
    const auto& format = reader.processingFormat();
    ReadBack result;
    result.sampleRate = format.sampleRate;
    result.planes.resize(format.channelCount);
    auto buffer = audio::PcmBuffer::create(format, 1237);
    while (const uint32_t frames = reader.read(*buffer)) {
        for (uint32_t c = 0; c < format.channelCount; ++c)
            result.planes[c].insert(result.planes[c].end(), buffer->channel(c), buffer->channel(c) + frames);
    }
    if (int64_t(result.planes[0].size()) != reader.length()) {
        throw std::runtime_error("reader states " + std::to_string(reader.length()) + " frames but delivers " +
                                 std::to_string(result.planes[0].size()));
    }
    return result;
}

int64_t firstAbove(const std::vector<float>& plane, float threshold) {
    for (size_t i = 0; i < plane.size(); ++i)
        if (std::fabs(plane[i]) > threshold)
            return int64_t(i);
    return -1;
}

} // namespace audiotest
