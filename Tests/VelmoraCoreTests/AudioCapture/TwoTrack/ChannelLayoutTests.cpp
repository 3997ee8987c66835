#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/TwoTrack/AggregateDescription.h"
#include "VelmoraCore/AudioCapture/TwoTrack/ChannelLayout.h"

#include <gtest/gtest.h>

using velmora::CAError;
using velmora::ChannelRange;
using velmora::resolveLayout;

namespace {

std::string layoutError(int a, int o, int m, int t) {
    try {
        resolveLayout(a, o, m, t, 48000, 48000);
    } catch (const CAError& error) {
        EXPECT_EQ(error.kind(), CAError::Kind::message);
        return error.description();
    }
    ADD_FAILURE() << "the layout " << a << " " << o << " " << m << " " << t << " resolved";
    return "";
}

} // namespace

TEST(DualTrackLayout, TracksFollowTheOutputDevicesInputsInOrderAndAreCutToTheDevicesChannels) {
    // Output device without inputs, a mono microphone, a stereo tap.
    auto layout = resolveLayout(3, 0, 1, 2, 48000, 48000);
    EXPECT_EQ(layout.totalInputChannels, 3);
    EXPECT_EQ(layout.micChannels, (ChannelRange{0, 1}));
    EXPECT_EQ(layout.systemChannels, (ChannelRange{1, 3}));

    // The device has one channel fewer than the members bring: the tap keeps one.
    layout = resolveLayout(2, 0, 1, 2, 48000, 48000);
    EXPECT_EQ(layout.micChannels, (ChannelRange{0, 1}));
    EXPECT_EQ(layout.systemChannels, (ChannelRange{1, 2}));
    EXPECT_EQ(layout.systemChannels.count(), 1);

    // An output device with inputs of its own pushes both tracks back; a stereo microphone stays whole.
    layout = resolveLayout(6, 2, 2, 2, 48000, 48000);
    EXPECT_EQ(layout.micChannels, (ChannelRange{2, 4}));
    EXPECT_EQ(layout.systemChannels, (ChannelRange{4, 6}));
}

TEST(DualTrackLayout, CountsThatLeaveATrackWithoutChannelsFailWithAllFourCounts) {
    EXPECT_EQ(layoutError(1, 0, 1, 2),
              "チャンネル配置を解決できない。\nアグリゲート入力ch=1, 出力デバイス入力ch=0, "
              "マイク入力ch=1, タップch=2");
    // No microphone channel, no tap channel, nothing past the output device's own inputs.
    EXPECT_NE(layoutError(2, 0, 0, 2), "");
    EXPECT_NE(layoutError(3, 0, 1, 0), "");
    EXPECT_EQ(layoutError(2, 2, 1, 2), "チャンネル配置を解決できない。\nアグリゲート入力ch=2, "
                                       "出力デバイス入力ch=2, マイク入力ch=1, タップch=2");
    // Sums past the int range must not wrap into a layout.
    EXPECT_NE(layoutError(5, 1, 2147483647, 2147483647), "");
}

TEST(DualTrackLayout, TheDevicesRateWinsAndWithoutOneTheTapsRateButNoLessThan48000) {
    EXPECT_EQ(resolveLayout(3, 0, 1, 2, 44100, 96000).sampleRate, 44100);
    // Unreadable (0), or a rate no file can carry.
    EXPECT_EQ(resolveLayout(3, 0, 1, 2, 0, 44100).sampleRate, 48000);
    EXPECT_EQ(resolveLayout(3, 0, 1, 2, -1, 44100).sampleRate, 48000);
    EXPECT_EQ(resolveLayout(3, 0, 1, 2, 0, 96000).sampleRate, 96000);
    EXPECT_EQ(resolveLayout(3, 0, 1, 2, 0, 96000).tapAdvertisedSampleRate, 96000);
    EXPECT_EQ(resolveLayout(3, 0, 1, 2, 44100, 22050).tapAdvertisedSampleRate, 22050);
}

TEST(DualTrackLayout, TheCaptureDeviceListsADeviceThatIsBothOutputAndInputOnce) {
    auto description = velmora::makeAggregateDescription("headset", "headset", "tap-uid", "device-uid");
    EXPECT_EQ(description.master, "headset");
    EXPECT_EQ(description.subDevices, (std::vector<velmora::AggregateMember>{{"headset", 0}}));
    EXPECT_EQ(description.taps, (std::vector<velmora::AggregateMember>{{"tap-uid", 1}}));
}
