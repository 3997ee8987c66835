#pragma once
// Taking the two tracks out of one capture delivery: how many frames it carries, one channel copied
// out of whichever buffer holds it, and the level of a run of samples. Pure functions; any thread.

#include "VelmoraCore/AudioCapture/TwoTrack/InputBufferList.h"

#include <cstdint>
#include <optional>

namespace velmora {

/// Decided by the first buffer with channels: its whole frames. None when no buffer has channels.
std::optional<int64_t> frameCount(InputBufferList buffers);

/// Copies `frames` samples of `channel` (numbered across the buffers, in order) into `into`. A channel
/// no buffer holds, or a buffer without data, gives silence; frames past a short buffer's end are 0.
void extract(int channel, InputBufferList buffers, int64_t frames, float* into);

/// Root mean square of `count` samples (linear); 0 for none.
float rmsLevel(const float* samples, int64_t count);

} // namespace velmora
