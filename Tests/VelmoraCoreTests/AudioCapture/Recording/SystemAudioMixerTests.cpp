#include "VelmoraCore/AudioCapture/Recording/FinishHandshake.h"
#include "VelmoraCore/AudioCapture/Recording/SystemAudioMixer.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <vector>

using velmora::SystemAudioMixer;

namespace {

// Collects the mixer's output as two planes.
struct Collected {
    std::vector<float> left;
    std::vector<float> right;

    SystemAudioMixer::Output output() {
        return [this](const float* const* channels, int64_t frames) {
            left.insert(left.end(), channels[0], channels[0] + frames);
            right.insert(right.end(), channels[1], channels[1] + frames);
        };
    }
};

// `frames` interleaved stereo frames: left = value, right = -value.
std::vector<float> stereo(int64_t frames, float value) {
    std::vector<float> samples(size_t(frames) * 2);
    for (int64_t f = 0; f < frames; ++f) {
        samples[size_t(2 * f)] = value;
        samples[size_t(2 * f + 1)] = -value;
    }
    return samples;
}

constexpr int64_t fragment = 960; // 20 ms

} // namespace

TEST(SystemAudioMixer, TheLeaderIsPassedOnAndAFollowerJoinsOnceItHasACushion) {
    Collected out;
    SystemAudioMixer mixer(out.output());
    mixer.addInput(7);
    mixer.addInput(9);
    EXPECT_EQ(mixer.leader(), 7u);

    mixer.push(7, stereo(fragment, 0.25f).data(), fragment);
    ASSERT_EQ(out.left.size(), size_t(fragment));
    EXPECT_EQ(out.left.back(), 0.25f);
    EXPECT_EQ(out.right.back(), -0.25f);

    // One fragment of the follower is less than the cushion: the next stretch is the leader alone.
    mixer.push(9, stereo(fragment, 0.125f).data(), fragment);
    mixer.push(7, stereo(fragment, 0.25f).data(), fragment);
    EXPECT_EQ(out.left.back(), 0.25f);
    // With a cushion it is summed in from its oldest sample on, nothing skipped.
    mixer.push(9, stereo(SystemAudioMixer::cushionFrames, 0.5f).data(), SystemAudioMixer::cushionFrames);
    mixer.push(7, stereo(fragment, 0.25f).data(), fragment);
    EXPECT_EQ(out.left[2 * fragment], 0.375f);
    EXPECT_EQ(out.right.back(), -0.375f);
    EXPECT_EQ(mixer.bufferedFrames(9), SystemAudioMixer::cushionFrames);

    // Sums beyond full scale are clipped; a stretch the server dropped is silence in its place.
    mixer.push(7, stereo(fragment, 0.75f).data(), fragment);
    EXPECT_EQ(out.left.back(), 1.0f);
    EXPECT_EQ(out.right.back(), -1.0f);
    mixer.push(7, nullptr, fragment);
    EXPECT_EQ(out.left.back(), 0.5f);
    EXPECT_EQ(out.left.size(), size_t(5 * fragment));
    EXPECT_EQ(mixer.framesOut(), 5 * fragment);
}

TEST(SystemAudioMixer, ANewLeaderBringsWhatItBufferedAndAGoneLeaderIsReplacedWithoutLoss) {
    Collected out;
    SystemAudioMixer mixer(out.output());
    mixer.addInput(1);
    mixer.addInput(2);
    mixer.addInput(3);
    mixer.push(1, stereo(fragment, 0.1f).data(), fragment);
    mixer.push(2, stereo(fragment, 0.2f).data(), fragment);
    mixer.push(3, stereo(2 * fragment, 0.3f).data(), 2 * fragment);

    // The default output moved to 2: its buffered fragment comes out at once, then it leads.
    mixer.setLeader(2);
    ASSERT_EQ(out.left.size(), size_t(2 * fragment));
    EXPECT_FLOAT_EQ(out.left.back(), 0.2f);
    mixer.push(2, stereo(fragment, 0.2f).data(), fragment);
    EXPECT_EQ(out.left.size(), size_t(3 * fragment));

    // The leader's sink went away: the fullest follower (3) leads with all it held.
    mixer.removeInput(2);
    EXPECT_EQ(mixer.leader(), 3u);
    EXPECT_EQ(out.left.size(), size_t(5 * fragment));
    EXPECT_FLOAT_EQ(out.left.back(), 0.3f);
    EXPECT_FALSE(mixer.hasInput(2));
    mixer.push(2, stereo(fragment, 0.9f).data(), fragment); // a late fragment of a removed input
    EXPECT_EQ(out.left.size(), size_t(5 * fragment));

    mixer.removeInput(1);
    mixer.removeInput(3);
    EXPECT_FALSE(mixer.leader());
}

TEST(SystemAudioMixer, CatchingUpFillsTheLeadersGapWithTheFollowersAndAFollowerNeverHoardsPastTheLimit) {
    Collected out;
    SystemAudioMixer mixer(out.output());
    mixer.addInput(1);
    mixer.addInput(2);
    mixer.push(1, stereo(fragment, 0.1f).data(), fragment);

    // Behind the clock by less than the gap: nothing happens.
    mixer.catchUp(fragment + SystemAudioMixer::gapFrames);
    EXPECT_EQ(mixer.framesOut(), fragment);

    // The leader is silent for a second while the follower goes on: the gap gets the follower.
    const int64_t second = SystemAudioMixer::sampleRate;
    mixer.push(2, stereo(second, 0.5f).data(), second);
    EXPECT_EQ(mixer.bufferedFrames(2), SystemAudioMixer::cushionFrames); // past the limit: back to a cushion
    mixer.catchUp(fragment + second);
    EXPECT_EQ(mixer.framesOut(), fragment + second);
    EXPECT_FLOAT_EQ(out.left[size_t(fragment)], 0.5f);
    EXPECT_FLOAT_EQ(out.left.back(), 0.0f); // the cushion ran out: silence, not a repeat
    EXPECT_EQ(mixer.bufferedFrames(2), 0);

    // With nothing at all to mix a long gap is silence, a second at a time; a clock behind the output
    // changes nothing.
    Collected silent;
    int64_t largest = 0;
    SystemAudioMixer empty([&](const float* const* channels, int64_t frames) {
        largest = std::max(largest, frames);
        silent.output()(channels, frames);
    });
    empty.catchUp(10 * second + 1);
    EXPECT_EQ(empty.framesOut(), 10 * second + 1);
    EXPECT_EQ(largest, second);
    empty.catchUp(0);
    EXPECT_EQ(empty.framesOut(), 10 * second + 1);
}

TEST(FinishHandshake, AFinishReportedBeforeTheWaitIsRememberedAndTheTimeOutEndsAWaitWithoutOne) {
    velmora::FinishHandshake unfinished;
    EXPECT_FALSE(unfinished.waitForFinish(std::chrono::milliseconds(0)));

    velmora::FinishHandshake early;
    early.resumeIfNeeded();
    EXPECT_TRUE(early.waitForFinish(std::chrono::milliseconds(0)));
    early.resumeIfNeeded();
    EXPECT_TRUE(early.waitForFinish(std::chrono::milliseconds(0)));
}
