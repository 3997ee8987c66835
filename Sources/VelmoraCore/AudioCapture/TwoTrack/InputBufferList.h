#pragma once
// One delivery of the two-track capture: buffers of interleaved 32-bit float samples, one per member
// device, whose channels follow one another in the device's channel order (buffer 0's channels first).

#include <cstddef>
#include <span>

namespace velmora {

struct InputBuffer {
    /// Interleaved channels in this buffer; a buffer with 0 channels carries none of the device's.
    int channels = 0;
    size_t byteSize = 0;
    /// May be null: the buffer then reads as silence.
    const float* data = nullptr;
};

using InputBufferList = std::span<const InputBuffer>;

} // namespace velmora
