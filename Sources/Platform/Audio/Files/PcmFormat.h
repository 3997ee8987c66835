#pragma once
// The sample layout every buffer of the audio layer holds: 32-bit float, one plane per channel,
// at a sample rate and channel count. Two formats are equal when rate and channel count are.

#include <cstdint>
#include <optional>
#include <string>

namespace audio {

struct PcmFormat {
    double sampleRate = 0;
    std::uint32_t channelCount = 0;

    /// The standard format for a rate and channel count; nothing for a rate that is not a positive
    /// finite number or for zero channels.
    static std::optional<PcmFormat> standard(double sampleRate, std::uint32_t channelCount);

    /// "48000.0 Hz, 2 ch" style text for messages.
    std::string description() const;

    bool operator==(const PcmFormat&) const = default;
};

} // namespace audio
