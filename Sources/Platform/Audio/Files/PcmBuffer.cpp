#include "Platform/Audio/Files/PcmBuffer.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

namespace audio {

std::shared_ptr<PcmBuffer> PcmBuffer::create(const PcmFormat& format, std::uint32_t capacity) {
    if (!PcmFormat::standard(format.sampleRate, format.channelCount)) {
        return nullptr;
    }
    try {
        return std::shared_ptr<PcmBuffer>(new PcmBuffer(format, capacity));
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

PcmBuffer::PcmBuffer(const PcmFormat& format, std::uint32_t capacity)
    : format_(format), capacity_(capacity), channels_(format.channelCount) {
    planePointers_.reserve(channels_.size());
    for (auto& plane : channels_) {
        // An empty buffer still gets a frame of storage: its planes are never null, so copies of no
        // frames into or out of it are plain no-ops.
        plane.assign(std::max<std::uint32_t>(capacity, 1), 0.0f);
        planePointers_.push_back(plane.data());
    }
}

void PcmBuffer::setFrameLength(std::uint32_t frames) {
    if (frames > capacity_) {
        throw std::out_of_range("frame length " + std::to_string(frames) + " exceeds the buffer's capacity " +
                                std::to_string(capacity_));
    }
    frameLength_ = frames;
}

float* PcmBuffer::channel(std::uint32_t index) {
    if (index >= channels_.size()) {
        throw std::out_of_range("channel " + std::to_string(index) + " of a buffer with " +
                                std::to_string(channels_.size()) + " channels");
    }
    return planePointers_[index];
}

const float* PcmBuffer::channel(std::uint32_t index) const {
    return const_cast<PcmBuffer*>(this)->channel(index);
}

} // namespace audio
