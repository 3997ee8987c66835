#include "Platform/Audio/Files/PcmFormat.h"

#include <cmath>
#include <cstdio>

namespace audio {

std::optional<PcmFormat> PcmFormat::standard(double sampleRate, std::uint32_t channelCount) {
    if (!std::isfinite(sampleRate) || sampleRate <= 0 || channelCount == 0) {
        return std::nullopt;
    }
    return PcmFormat{sampleRate, channelCount};
}

std::string PcmFormat::description() const {
    char text[64];
    std::snprintf(text, sizeof text, "%g Hz, %u ch", sampleRate, channelCount);
    return text;
}

} // namespace audio
