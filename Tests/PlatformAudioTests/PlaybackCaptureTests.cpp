#include "Platform/Audio/Capture/PlaybackCaptureSource.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <numeric>

using audio::CaptureFormat;
using audio::PlaybackCaptureSource;

namespace {

std::vector<float> ramp(std::size_t count) {
    std::vector<float> samples(count);
    std::iota(samples.begin(), samples.end(), 0.0f);
    return samples;
}

/// The blocks a capture delivered, with a wait for a number of them.
struct Blocks {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::vector<float>> blocks;

    audio::CaptureStream::BlockHandler handler() {
        return [this](const std::vector<float>& block) {
            std::lock_guard guard(lock);
            blocks.push_back(block);
            arrived.notify_all();
        };
    }
    void waitFor(std::size_t count) {
        std::unique_lock guard(lock);
        arrived.wait(guard, [&] { return blocks.size() >= count; });
    }
    std::vector<float> joined() {
        std::lock_guard guard(lock);
        std::vector<float> all;
        for (const auto& block : blocks) {
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }
};

} // namespace

TEST(PlaybackCapture, PlaysEverySampleInOrderInWholeBlocksAndAShorterLastOne) {
    PlaybackCaptureSource source(ramp(4000), 1000);
    Blocks blocks;
    auto stream = source.makeStream(std::nullopt, CaptureFormat{}, blocks.handler());
    EXPECT_FALSE(source.isPlayed());
    stream->start();
    source.waitUntilPlayed();
    EXPECT_EQ(blocks.joined(), ramp(4000));
    ASSERT_EQ(blocks.blocks.size(), 3u);
    EXPECT_EQ(blocks.blocks[0].size(), 1600u);
    EXPECT_EQ(blocks.blocks[2].size(), 800u);
    EXPECT_FALSE(stream->isRunning());
}

TEST(PlaybackCapture, PauseHoldsThePlaceAndAStartAfterStopPlaysFromTheBeginning) {
    PlaybackCaptureSource source(ramp(16000), 1000);
    Blocks blocks;
    std::unique_ptr<audio::CaptureStream> stream;
    std::mutex pausedLock;
    bool paused = false;
    stream = source.makeStream(std::nullopt, CaptureFormat{}, [&](const std::vector<float>& block) {
        {
            std::lock_guard guard(pausedLock);
            if (!paused && block.front() == 3200) {
                paused = true;
                stream->pause(); // from the handler itself, before the test sees the block
            }
        }
        blocks.handler()(block);
    });
    stream->start();
    blocks.waitFor(3);
    EXPECT_FALSE(stream->isRunning());
    EXPECT_FALSE(source.isPlayed());
    stream->start();
    source.waitUntilPlayed();
    EXPECT_EQ(blocks.joined(), ramp(16000));

    stream->stop();
    stream->start();
    blocks.waitFor(11);
    stream->stop();
    EXPECT_EQ(blocks.blocks[10].front(), 0.0f);
}

TEST(PlaybackCapture, RefusesSpeedsAndFormatsItCannotPlay) {
    EXPECT_THROW(PlaybackCaptureSource({}, 0), std::invalid_argument);
    EXPECT_THROW(PlaybackCaptureSource({}, -1), std::invalid_argument);
    EXPECT_THROW(PlaybackCaptureSource({}, std::numeric_limits<double>::infinity()), std::invalid_argument);
    PlaybackCaptureSource source(ramp(10));
    EXPECT_THROW(source.makeStream(std::nullopt, CaptureFormat{48000, 1, 1600}, {}), std::invalid_argument);
    EXPECT_THROW(source.makeStream(std::nullopt, CaptureFormat{16000, 2, 1600}, {}), std::invalid_argument);
    EXPECT_THROW(source.makeStream(std::nullopt, CaptureFormat{16000, 1, 0}, {}), std::invalid_argument);
    EXPECT_TRUE(source.canRecord());
    EXPECT_EQ(source.inputDevices().size(), 1u);
}

TEST(PlaybackCapture, DestroyedFromItsOwnHandler) {
    PlaybackCaptureSource source(ramp(8000), 1000);
    std::unique_ptr<audio::CaptureStream> stream;
    std::mutex lock;
    std::condition_variable gone;
    bool destroyed = false;
    stream = source.makeStream(std::nullopt, CaptureFormat{}, [&](const std::vector<float>&) {
        std::lock_guard guard(lock);
        if (!destroyed) {
            stream.reset();
            destroyed = true;
            gone.notify_all();
        }
    });
    stream->start();
    std::unique_lock guard(lock);
    gone.wait(guard, [&] { return destroyed; });
    EXPECT_FALSE(source.isPlayed());
}
