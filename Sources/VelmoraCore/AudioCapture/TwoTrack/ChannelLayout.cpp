#include "VelmoraCore/AudioCapture/TwoTrack/ChannelLayout.h"

#include "VelmoraCore/AudioCapture/Devices/CAError.h"

#include <algorithm>
#include <string>

namespace velmora {

namespace {

constexpr double fallbackSampleRate = 48000.0;

} // namespace

ChannelLayout resolveLayout(int aggregateChannels, int outputInputChannels, int micInputChannels,
                            int tapChannels, double aggregateSampleRate, double tapSampleRate) {
    // In 64 bits: the sums of counts near the int limit must not wrap into a "valid" layout.
    const long long a = aggregateChannels;
    const long long o = outputInputChannels;
    const long long m = micInputChannels;
    const long long t = tapChannels;
    const long long micEnd = std::min(a, o + m);
    const long long systemEnd = std::min(a, micEnd + t);
    if (!(o < micEnd && o + m < systemEnd)) {
        throw CAError::message("チャンネル配置を解決できない。\nアグリゲート入力ch=" + std::to_string(a) +
                               ", 出力デバイス入力ch=" + std::to_string(o) +
                               ", マイク入力ch=" + std::to_string(m) + ", タップch=" + std::to_string(t));
    }
    ChannelLayout layout;
    layout.totalInputChannels = aggregateChannels;
    layout.micChannels = {outputInputChannels, int(micEnd)};
    layout.systemChannels = {int(micEnd), int(systemEnd)};
    layout.sampleRate =
        aggregateSampleRate > 0 ? aggregateSampleRate : std::max(tapSampleRate, fallbackSampleRate);
    layout.tapAdvertisedSampleRate = tapSampleRate;
    return layout;
}

} // namespace velmora
