#pragma once
// Where the microphone track and the system track lie among the capture device's input channels, and
// the rate both files are written at.

#include "VelmoraCore/AudioCapture/TwoTrack/ChannelRange.h"

namespace velmora {

struct ChannelLayout {
    /// Input channels of the capture device as a whole.
    int totalInputChannels = 0;
    ChannelRange micChannels;
    ChannelRange systemChannels;
    /// The rate of both files.
    double sampleRate = 0;
    /// The rate in the tap's own stream format.
    double tapAdvertisedSampleRate = 0;

    friend bool operator==(const ChannelLayout&, const ChannelLayout&) = default;
};

/// The capture device's channels are, in order, the output device's inputs, the microphone's inputs
/// and the tap's channels. `aggregateChannels` (A), `outputInputChannels` (O), `micInputChannels` (M)
/// and `tapChannels` (T) are those counts; `aggregateSampleRate` is the device's nominal rate (0 when
/// unreadable), `tapSampleRate` the tap's. Throws CAError::message with the four counts when they do
/// not leave at least one channel for each track.
ChannelLayout resolveLayout(int aggregateChannels, int outputInputChannels, int micInputChannels,
                            int tapChannels, double aggregateSampleRate, double tapSampleRate);

} // namespace velmora
