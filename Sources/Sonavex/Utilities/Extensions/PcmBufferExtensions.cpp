#include "Sonavex/Utilities/Extensions/PcmBufferExtensions.h"

#include "Sonavex/Utilities/Logging/Logging.h"

#include <cstring>

namespace sonavex {

bool appendContents(audio::PcmBuffer& receiver, const audio::PcmBuffer& buffer, std::int64_t startingFrame,
                    std::uint32_t frameCount) {
    if (!(receiver.format() == buffer.format())) {
        Logging::debug("Format mismatch");
        return false;
    }
    // startingFrame + frameCount cannot overflow once the start lies within the source.
    if (startingFrame < 0 || startingFrame > buffer.frameLength() ||
        startingFrame + frameCount > buffer.frameLength()) {
        Logging::error("Insufficient audio in buffer");
        return false;
    }
    std::uint32_t room = receiver.frameCapacity() - receiver.frameLength();
    if (frameCount > room) {
        Logging::debug("Insufficient space in buffer, reducing frame count to fit");
        frameCount = room;
    }
    // Every channel: a planar buffer keeps each channel in its own plane.
    for (std::uint32_t c = 0; c < receiver.channelCount(); ++c) {
        std::memcpy(receiver.channel(c) + receiver.frameLength(), buffer.channel(c) + startingFrame,
                    frameCount * sizeof(float));
    }
    receiver.setFrameLength(receiver.frameLength() + frameCount);
    return true;
}

} // namespace sonavex
