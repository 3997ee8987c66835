#include "VelmoraCore/AudioCapture/TwoTrack/TrackExtraction.h"
#include "VelmoraCore/AudioCapture/TwoTrack/TrackScratch.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using velmora::extract;
using velmora::frameCount;
using velmora::InputBuffer;

namespace {

InputBuffer bufferOf(const std::vector<float>& samples, int channels) {
    return InputBuffer{channels, samples.size() * sizeof(float), samples.data()};
}

std::vector<float> extracted(int channel, const std::vector<InputBuffer>& buffers, int64_t frames) {
    std::vector<float> into(size_t(frames), -9.0f);
    extract(channel, buffers, frames, into.data());
    return into;
}

} // namespace

TEST(TrackExtraction, TheFirstBufferWithChannelsDecidesTheFrameCount) {
    const std::vector<float> stereo(10); // 5 frames
    const std::vector<float> mono(7);
    EXPECT_EQ(frameCount(std::vector<InputBuffer>{{0, 64, nullptr}, bufferOf(stereo, 2), bufferOf(mono, 1)}),
              5);
    // A trailing partial frame does not count.
    EXPECT_EQ(frameCount(std::vector<InputBuffer>{{3, 7 * sizeof(float), stereo.data()}}), 2);
    EXPECT_EQ(frameCount(std::vector<InputBuffer>{{0, 64, nullptr}}), std::nullopt);
    EXPECT_EQ(frameCount(std::vector<InputBuffer>{}), std::nullopt);
    EXPECT_EQ(frameCount(std::vector<InputBuffer>{{2, 0, nullptr}}), 0);
}

TEST(TrackExtraction, AChannelIsFoundAcrossBuffersAndReadInterleaved) {
    const std::vector<float> mic = {1, 2, 3, 4};                     // channel 0
    const std::vector<float> tap = {10, 20, 11, 21, 12, 22, 13, 23}; // channels 1 and 2
    const std::vector<InputBuffer> buffers = {{0, 0, nullptr}, bufferOf(mic, 1), bufferOf(tap, 2)};
    EXPECT_EQ(extracted(0, buffers, 4), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(extracted(1, buffers, 4), (std::vector<float>{10, 11, 12, 13}));
    EXPECT_EQ(extracted(2, buffers, 4), (std::vector<float>{20, 21, 22, 23}));
}

TEST(TrackExtraction, ChannelsPastTheBuffersAndMissingDataAreSilenceAndShortBuffersArePadded) {
    const std::vector<float> mic = {1, 2, 3, 4};
    const std::vector<float> tap = {10, 20, 11, 21}; // only 2 frames
    const std::vector<InputBuffer> buffers = {bufferOf(mic, 1), bufferOf(tap, 2)};
    EXPECT_EQ(extracted(3, buffers, 4), (std::vector<float>(4, 0.0f)));
    EXPECT_EQ(extracted(-1, buffers, 4), (std::vector<float>(4, 0.0f)));
    EXPECT_EQ(extracted(2, buffers, 4), (std::vector<float>{20, 21, 0, 0}));
    EXPECT_EQ(extracted(0, std::vector<InputBuffer>{{1, 16, nullptr}, bufferOf(tap, 2)}, 3),
              (std::vector<float>(3, 0.0f)));
}

TEST(TrackExtraction, LevelsAreTheRootMeanSquare) {
    const std::vector<float> square = {0.5f, -0.5f, 0.5f, -0.5f};
    EXPECT_FLOAT_EQ(velmora::rmsLevel(square.data(), 4), 0.5f);
    const std::vector<float> ramp = {0, 1, 2, 3};
    EXPECT_FLOAT_EQ(velmora::rmsLevel(ramp.data(), 4), float(std::sqrt(14.0 / 4)));
    EXPECT_EQ(velmora::rmsLevel(ramp.data(), 0), 0.0f);
}

TEST(TrackScratch, GrowsOnlyForMoreFramesThanBeforeAndFreesOnRelease) {
    velmora::TrackScratch scratch;
    ASSERT_TRUE(scratch.ensure(480, 2));
    EXPECT_EQ(scratch.capacity(), 960);
    float* system = scratch.system();
    ASSERT_TRUE(scratch.ensure(240, 2));
    EXPECT_EQ(scratch.system(), system);
    EXPECT_EQ(scratch.capacity(), 960);
    ASSERT_TRUE(scratch.ensure(1024, 2));
    EXPECT_EQ(scratch.capacity(), 2048);
    // No system channel still leaves room for one.
    ASSERT_TRUE(scratch.ensure(4096, 0));
    EXPECT_EQ(scratch.capacity(), 4096);
    scratch.release();
    EXPECT_EQ(scratch.capacity(), 0);
    // More microphone frames than before with fewer system channels: both copies must still fit.
    ASSERT_TRUE(scratch.ensure(10, 4));
    ASSERT_TRUE(scratch.ensure(20, 2));
    std::fill(scratch.mic(), scratch.mic() + 20, 1.0f);
    std::fill(scratch.system(), scratch.system() + 40, 1.0f);
    scratch.release();
    EXPECT_EQ(scratch.capacity(), 0);
}
