#pragma once
// A block of planar 32-bit float audio: a format, a capacity in frames fixed at creation and a valid
// length (frameLength) that never exceeds it. Planes are zero-filled when the buffer is made.

#include "Platform/Audio/Files/PcmFormat.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace audio {

class PcmBuffer {
public:
    /// A buffer of `capacity` frames; nothing when the format is not usable or the memory cannot be had.
    static std::shared_ptr<PcmBuffer> create(const PcmFormat& format, std::uint32_t capacity);

    const PcmFormat& format() const { return format_; }
    std::uint32_t channelCount() const { return format_.channelCount; }
    std::uint32_t frameCapacity() const { return capacity_; }
    std::uint32_t frameLength() const { return frameLength_; }
    /// Throws std::out_of_range above the capacity.
    void setFrameLength(std::uint32_t frames);

    /// The sample plane of one channel, `frameCapacity()` floats long. Throws std::out_of_range for a
    /// channel the format does not have.
    float* channel(std::uint32_t index);
    const float* channel(std::uint32_t index) const;
    /// All planes, indexed by channel (the form the resampler and the decoder take).
    float* const* planes() { return planePointers_.data(); }
    const float* const* planes() const { return planePointers_.data(); }

private:
    PcmBuffer(const PcmFormat& format, std::uint32_t capacity);

    PcmFormat format_;
    std::uint32_t capacity_ = 0;
    std::uint32_t frameLength_ = 0;
    std::vector<std::vector<float>> channels_;
    std::vector<float*> planePointers_;
};

} // namespace audio
