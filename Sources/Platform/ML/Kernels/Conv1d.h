#pragma once
// One-dimensional convolution with kernel size 3 and padding 1 (the audio encoder's front end), as
// an im2col copy followed by one matrix product.

#include "Platform/ML/Kernels/Packed/PackedWeights.h"

#include <cstddef>

namespace ml::kernels {

struct Conv1dArgs {
    /// Input element (channel c, time t) is input[c * channelStride + t * timeStride], so both the
    /// model's [channels, time] layout and our [time, channels] one are read in place.
    const float* input;
    size_t channelStride;
    size_t timeStride;
    size_t inChannels;
    size_t inLength;
    /// Checkpoint layout [outChannels, inChannels, 3] packed as a [outChannels, inChannels * 3] linear
    /// layer, and [outChannels].
    const PackedWeights* weight;
    const float* bias;
    size_t stride = 1;
    bool gelu = false;
};

/// Output length for an input of `inLength` samples.
size_t conv1dOutputLength(size_t inLength, size_t stride);

/// Writes [outLength, outChannels] (time-major) into `output`.
void conv1d(const Conv1dArgs& args, float* output);

} // namespace ml::kernels
