#pragma once
// The engine's operation on the audio layer's PCM buffers: appending frames of one buffer to another.

#include "Platform/Audio/Files/PcmBuffer.h"

#include <cstdint>

namespace sonavex {

/// Appends `frameCount` frames of `buffer`, from its frame `startingFrame`, behind `receiver`'s frames, in
/// every channel; cut to the room left in `receiver` (with a debug line). False, with a log line and
/// `receiver` unchanged, when the formats differ or `buffer` does not hold the frames asked for.
bool appendContents(audio::PcmBuffer& receiver, const audio::PcmBuffer& buffer, std::int64_t startingFrame,
                    std::uint32_t frameCount);

} // namespace sonavex
