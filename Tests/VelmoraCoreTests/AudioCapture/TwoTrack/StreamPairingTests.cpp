#include "VelmoraCore/AudioCapture/TwoTrack/StreamPairing.h"

#include <gtest/gtest.h>
#include <vector>

using velmora::StreamPairing;

namespace {

// What the pairing handed on: per delivery, each stream's frames (channel 0 only) in stream order.
struct Deliveries {
    std::vector<std::vector<std::vector<float>>> all;

    StreamPairing::Handler handler() {
        return [this](velmora::InputBufferList buffers) {
            std::vector<std::vector<float>> delivery;
            for (const auto& buffer : buffers) {
                std::vector<float> first;
                const size_t frames = buffer.byteSize / sizeof(float) / size_t(buffer.channels);
                for (size_t f = 0; f < frames; ++f) {
                    first.push_back(buffer.data[f * size_t(buffer.channels)]);
                }
                delivery.push_back(first);
            }
            all.push_back(delivery);
        };
    }
};

// `frames` mono frames counting up from `from`; stereo frames with the count in channel 0.
std::vector<float> counting(float from, int frames, int channels = 1) {
    std::vector<float> samples;
    for (int f = 0; f < frames; ++f) {
        samples.push_back(from + float(f));
        for (int c = 1; c < channels; ++c) {
            samples.push_back(-1);
        }
    }
    return samples;
}

void push(StreamPairing& pairing, size_t stream, const std::vector<float>& samples) {
    pairing.push(stream, samples.data(), samples.size() * sizeof(float));
}

} // namespace

TEST(StreamPairing, HandsOnWhatBothStreamsHaveInStreamOrderAndKeepsTheRest) {
    Deliveries seen;
    StreamPairing pairing({1, 2}, 10, seen.handler());
    push(pairing, 0, counting(0, 4));
    EXPECT_TRUE(seen.all.empty());
    push(pairing, 1, counting(100, 3, 2));
    ASSERT_EQ(seen.all.size(), 1u);
    EXPECT_EQ(seen.all[0][0], (std::vector<float>{0, 1, 2}));
    EXPECT_EQ(seen.all[0][1], (std::vector<float>{100, 101, 102}));
    // The microphone's fourth frame waits for the tap's next fragment.
    push(pairing, 1, counting(103, 2, 2));
    ASSERT_EQ(seen.all.size(), 2u);
    EXPECT_EQ(seen.all[1][0], (std::vector<float>{3}));
    EXPECT_EQ(seen.all[1][1], (std::vector<float>{103}));
    push(pairing, 0, counting(4, 1));
    ASSERT_EQ(seen.all.size(), 3u);
    EXPECT_EQ(seen.all[2][0], (std::vector<float>{4}));
    EXPECT_EQ(seen.all[2][1], (std::vector<float>{104}));
    EXPECT_EQ(pairing.silenceFrames(0), 0u);
    EXPECT_EQ(pairing.silenceFrames(1), 0u);
}

TEST(StreamPairing, AStreamMoreThanTheLagBehindIsFilledWithSilenceAndCounted) {
    Deliveries seen;
    StreamPairing pairing({1, 1}, 10, seen.handler());
    // Exactly the lag behind: the tap is waited for.
    push(pairing, 0, counting(0, 10));
    EXPECT_TRUE(seen.all.empty());
    // One more frame: the tap's missing 11 frames become silence and everything goes on.
    push(pairing, 0, counting(10, 1));
    ASSERT_EQ(seen.all.size(), 1u);
    EXPECT_EQ(seen.all[0][0], counting(0, 11));
    EXPECT_EQ(seen.all[0][1], std::vector<float>(11, 0.0f));
    EXPECT_EQ(pairing.silenceFrames(1), 11u);
    EXPECT_EQ(pairing.silenceFrames(0), 0u);
    // The tap comes back: the streams go on side by side from where they are.
    push(pairing, 1, counting(200, 2));
    push(pairing, 0, counting(11, 2));
    ASSERT_EQ(seen.all.size(), 2u);
    EXPECT_EQ(seen.all[1][0], counting(11, 2));
    EXPECT_EQ(seen.all[1][1], counting(200, 2));

    // A microphone that stops for good never lets the tap's queue grow past the lag.
    seen.all.clear();
    for (int i = 0; i < 100; ++i) {
        push(pairing, 1, counting(0, 3));
    }
    EXPECT_EQ(pairing.silenceFrames(0), 300u);
    ASSERT_EQ(seen.all.size(), 25u);
    for (const auto& delivery : seen.all) {
        EXPECT_EQ(delivery[1].size(), 12u);
    }
}

TEST(StreamPairing, AStretchTheServerLostIsSilenceInItsPlace) {
    Deliveries seen;
    StreamPairing pairing({1, 2}, 100, seen.handler());
    push(pairing, 0, counting(0, 6));
    push(pairing, 1, counting(100, 2, 2));
    pairing.push(1, nullptr, 2 * 2 * sizeof(float)); // two stereo frames lost
    push(pairing, 1, counting(104, 2, 2));
    std::vector<float> tap;
    for (const auto& delivery : seen.all) {
        tap.insert(tap.end(), delivery[1].begin(), delivery[1].end());
    }
    EXPECT_EQ(tap, (std::vector<float>{100, 101, 0, 0, 104, 105}));
    EXPECT_EQ(pairing.silenceFrames(1), 2u);
}

TEST(StreamPairing, ResetDropsWhatWasQueuedEvenFromInsideTheHandler) {
    Deliveries seen;
    StreamPairing* pairing = nullptr;
    bool resetInside = false;
    StreamPairing resetting({1, 1}, 100, [&](velmora::InputBufferList buffers) {
        seen.handler()(buffers);
        if (resetInside) {
            pairing->reset();
        }
    });
    pairing = &resetting;
    push(resetting, 0, counting(0, 5));
    resetting.reset();
    push(resetting, 1, counting(100, 3));
    push(resetting, 0, counting(50, 3));
    ASSERT_EQ(seen.all.size(), 1u);
    EXPECT_EQ(seen.all[0][0], counting(50, 3));
    EXPECT_EQ(seen.all[0][1], counting(100, 3));

    resetInside = true;
    push(resetting, 0, counting(0, 5));
    push(resetting, 1, counting(0, 3));
    // The microphone's two frames left over went with the reset.
    push(resetting, 1, counting(0, 2));
    EXPECT_EQ(seen.all.size(), 2u);
    push(resetting, 0, counting(0, 1));
    EXPECT_EQ(seen.all.size(), 3u);
}
