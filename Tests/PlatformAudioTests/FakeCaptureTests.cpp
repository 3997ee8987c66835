#include "Platform/Audio/Capture/FakeCaptureSource.h"

#include <gtest/gtest.h>

using audio::CaptureFormat;
using audio::FakeCaptureSource;

TEST(FakeCaptureTest, CountsStartsAndDeliversOnlyWhileRunning) {
    FakeCaptureSource source;
    int blocks = 0;
    auto stream = source.makeStream("mic", CaptureFormat{}, [&](const std::vector<float>&) { ++blocks; });
    auto state = source.lastStream();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->deviceName(), "mic");

    EXPECT_FALSE(source.deliver({0.f}));
    stream->start();
    EXPECT_TRUE(source.deliver({0.f}));
    stream->pause();
    EXPECT_FALSE(source.deliver({0.f}));
    stream->start();
    EXPECT_TRUE(source.deliver({0.f}));
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(state->starts(), 2);
    EXPECT_EQ(state->pauses(), 1);

    stream.reset();
    EXPECT_TRUE(state->isDestroyed());
    EXPECT_FALSE(source.deliver({0.f}));
    EXPECT_EQ(source.streams().size(), 1u);
}

TEST(FakeCaptureTest, ScriptedFailures) {
    FakeCaptureSource source;
    source.failNextStart("device busy");
    auto stream = source.makeStream(std::nullopt, CaptureFormat{}, nullptr);
    EXPECT_THROW(stream->start(), std::runtime_error);
    EXPECT_FALSE(stream->isRunning());
    stream->start();
    EXPECT_EQ(source.lastStream()->starts(), 1);

    source.failDeviceList("unreadable");
    EXPECT_THROW(source.inputDevices(), std::runtime_error);
    source.setDevices({{7, "usb_mic", "USB Mic"}});
    EXPECT_EQ(source.inputDevices().at(0).id, 7u);
}
