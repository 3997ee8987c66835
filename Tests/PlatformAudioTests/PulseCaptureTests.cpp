#include "Platform/Audio/Pulse/PulseCaptureSource.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Platform/Audio/Pulse/PulseRecordStream.h"
#include "Support/ScopedEnvironment.h"
#include "Support/Audio/SignalLevel.h"
#include "Support/Audio/TestPulseServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using audio::CaptureFormat;
using audio::CaptureStream;
using audio::PulseCaptureSource;
using audio::PulseContext;
using audio::PulseError;
using audio::PulseRecordStream;
using testsupport::measureSignal;
using testsupport::testSignalFrequency;
using testsupport::testSignalPeak;

namespace {

// Collects blocks from the capture thread; a test waits until it has enough.
class BlockCollector {
public:
    CaptureStream::BlockHandler handler() {
        return [this](const std::vector<float>& block) {
            std::lock_guard guard(lock_);
            blocks_.push_back(block);
            changed_.notify_all();
        };
    }
    // The deadline only keeps a broken capture from hanging the run; it measures nothing.
    bool waitFor(size_t count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(30), [&] { return blocks_.size() >= count; });
    }
    std::vector<std::vector<float>> blocks() {
        std::lock_guard guard(lock_);
        return blocks_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::vector<float>> blocks_;
};

class PulseCaptureTest : public testsupport::PulseServerTest {};

} // namespace

TEST_F(PulseCaptureTest, RecordStreamReadsTheKnownSignalInWholeBlocks) {
    PulseRecordStream::Options options;
    options.sourceName = "test_source";
    PulseRecordStream stream(PulseContext::shared(), options);
    EXPECT_EQ(stream.sourceName(), "test_source");
    // Skip what the pipe held before we came, then read half a second.
    std::vector<float> samples(8000);
    ASSERT_EQ(stream.read(samples.data(), 1600), 1600u);
    ASSERT_EQ(stream.read(samples.data(), samples.size()), samples.size());
    auto level = measureSignal(samples);
    EXPECT_NEAR(level.peak, testSignalPeak, 0.01);
    EXPECT_NEAR(level.rms, testSignalPeak / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(double(level.zeroCrossings), testSignalFrequency, 4);
}

TEST_F(PulseCaptureTest, ServerConvertsToTheRequestedRateAndChannels) {
    PulseRecordStream::Options options;
    options.sourceName = "test_source";
    options.sampleRate = 48000;
    options.channels = 2;
    PulseRecordStream stream(PulseContext::shared(), options);
    std::vector<float> frames(2 * 24000);
    ASSERT_EQ(stream.read(frames.data(), 4800), 4800u);
    ASSERT_EQ(stream.read(frames.data(), 24000), 24000u);
    std::vector<float> left, right;
    for (size_t i = 0; i < frames.size(); i += 2) {
        left.push_back(frames[i]);
        right.push_back(frames[i + 1]);
    }
    EXPECT_EQ(left, right);
    EXPECT_NEAR(double(measureSignal(left).zeroCrossings), testSignalFrequency, 4);
}

TEST_F(PulseCaptureTest, DefaultSourceAndMonitorsCanBeRecorded) {
    auto context = PulseContext::shared();
    PulseRecordStream stream(context, PulseRecordStream::Options{});
    EXPECT_EQ(stream.sourceName(), "test_source");
    EXPECT_TRUE(PulseRecordStream::canRecordFrom(context, "test_sink.monitor"));
    EXPECT_FALSE(PulseRecordStream::canRecordFrom(context, "no_such_source"));
}

TEST_F(PulseCaptureTest, UnknownSourceFailsWithTheServersReason) {
    PulseRecordStream::Options options;
    options.sourceName = "no_such_source";
    try {
        PulseRecordStream stream(PulseContext::shared(), options);
        FAIL() << "recorded from a source that does not exist";
    } catch (const PulseError& error) {
        EXPECT_EQ(std::string(error.what()), "pa_stream_connect_record: No such entity");
    }
}

TEST_F(PulseCaptureTest, CaptureDeliversBlocksPausesResumesAndStops) {
    PulseCaptureSource source;
    EXPECT_TRUE(source.canRecord());
    BlockCollector collector;
    auto stream = source.makeStream("test_source", CaptureFormat{}, collector.handler());
    EXPECT_FALSE(stream->isRunning());
    EXPECT_EQ(stream->sourceName(), "");

    stream->start();
    EXPECT_TRUE(stream->isRunning());
    EXPECT_EQ(stream->sourceName(), "test_source");
    ASSERT_TRUE(collector.waitFor(3));

    stream->pause();
    EXPECT_FALSE(stream->isRunning());
    size_t whenPaused = collector.blocks().size();
    stream->start();
    EXPECT_TRUE(stream->isRunning());
    ASSERT_TRUE(collector.waitFor(whenPaused + 3));

    stream->stop();
    EXPECT_FALSE(stream->isRunning());
    size_t whenStopped = collector.blocks().size();
    auto blocks = collector.blocks();
    EXPECT_EQ(blocks.size(), whenStopped) << "a block arrived after stop()";
    for (const auto& block : blocks) {
        ASSERT_EQ(block.size(), 1600u);
    }
    EXPECT_NEAR(measureSignal(blocks.back()).peak, testSignalPeak, 0.01);
    EXPECT_FALSE(stream->failure());

    // After a stop the device opens anew.
    stream->start();
    ASSERT_TRUE(collector.waitFor(whenStopped + 1));
}

TEST_F(PulseCaptureTest, HandlerMayPauseResumeAndDestroyItsOwnCapture) {
    PulseCaptureSource source;
    std::unique_ptr<CaptureStream> stream;
    std::mutex lock;
    std::condition_variable done;
    int blocks = 0;
    bool destroyed = false;
    stream = source.makeStream("test_source", CaptureFormat{}, [&](const std::vector<float>&) {
        ++blocks;
        if (blocks == 1) {
            stream->pause();
            EXPECT_FALSE(stream->isRunning());
            stream->start();
        } else if (blocks == 3) {
            stream.reset();
            std::lock_guard guard(lock);
            destroyed = true;
            done.notify_all();
        }
    });
    stream->start();
    std::unique_lock guard(lock);
    ASSERT_TRUE(done.wait_for(guard, std::chrono::seconds(30), [&] { return destroyed; }));
    EXPECT_EQ(blocks, 3);
}

// Each round the handler holds a block while the test thread pauses, stops or resumes the capture, and
// the handler pauses or stops it as well once that call has begun. Both at once must never deadlock,
// and the capture must go on afterwards. The output's monitor delivers silence all the time, so rounds
// follow each other quickly.
TEST_F(PulseCaptureTest, HandlerAndAnotherThreadMayControlTheCaptureAtOnce) {
    enum Kind { pauseBoth, stopBoth, resumeWhileTheHandlerStops, resumeWhileTheHandlerPauses, kindCount };
    constexpr int kRounds = 80;
    PulseCaptureSource source;
    std::unique_ptr<CaptureStream> stream;
    std::atomic<int> armed{-1};
    std::mutex lock;
    int blocks = 0;
    std::condition_variable changed;
    int entered = -1, done = -1;
    const auto signal = [&](int& phase, int round) {
        std::lock_guard guard(lock);
        phase = round;
        changed.notify_all();
    };
    // The deadline only keeps a broken capture from hanging the run; it measures nothing.
    const auto waitFor = [&](const int& phase, int round) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(30), [&] { return phase == round; });
    };
    // Until the other thread's call shows, for as long as it takes it to get there.
    const auto awaitRunning = [&](bool running) {
        for (int spin = 0; spin < 1000000 && stream->isRunning() != running; ++spin) {
            std::this_thread::yield();
        }
    };

    stream =
        source.makeStream("test_sink.monitor", CaptureFormat{16000, 1, 16}, [&](const std::vector<float>&) {
            {
                std::lock_guard guard(lock);
                ++blocks;
                changed.notify_all();
            }
            const int round = armed.exchange(-1);
            if (round < 0) {
                return;
            }
            const Kind kind = Kind(round % kindCount);
            if (kind == resumeWhileTheHandlerStops || kind == resumeWhileTheHandlerPauses) {
                stream->pause();
            }
            signal(entered, round);
            awaitRunning(kind == resumeWhileTheHandlerStops || kind == resumeWhileTheHandlerPauses);
            if (kind == stopBoth || kind == resumeWhileTheHandlerStops) {
                stream->stop();
            } else {
                stream->pause();
            }
            signal(done, round);
        });
    stream->start();

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        armed = round;
        ASSERT_TRUE(waitFor(entered, round));
        switch (Kind(round % kindCount)) {
        case pauseBoth:
            stream->pause();
            break;
        case stopBoth:
            stream->stop();
            break;
        default:
            stream->start();
            break;
        }
        ASSERT_TRUE(waitFor(done, round));
        stream->start(); // resumed or opened anew for the next round
        ASSERT_TRUE(stream->isRunning());
    }
    {
        std::unique_lock guard(lock);
        const int before = blocks;
        EXPECT_TRUE(changed.wait_for(guard, std::chrono::seconds(30), [&] { return blocks >= before + 3; }))
            << "the capture does not deliver after the rounds";
    }
    EXPECT_FALSE(stream->failure());
    stream.reset();
}

TEST_F(PulseCaptureTest, InputDevicesLeaveMonitorsOut) {
    PulseCaptureSource source;
    auto devices = source.inputDevices();
    ASSERT_FALSE(devices.empty());
    auto isTestSource = [](const audio::InputDevice& d) { return d.name == "test_source"; };
    EXPECT_TRUE(std::any_of(devices.begin(), devices.end(), isTestSource));
    for (const auto& device : devices) {
        EXPECT_EQ(device.name.find(".monitor"), std::string::npos) << device.name;
    }
}

TEST(PulseCaptureWithoutServerTest, StartFailsAndLeavesNothingRunning) {
    testsupport::ScopedEnvironment environment;
    environment.set("PULSE_SERVER", "unix:/nonexistent/velmora/native");
    PulseCaptureSource source;
    EXPECT_FALSE(source.canRecord());
    EXPECT_THROW(source.inputDevices(), PulseError);
    auto stream = source.makeStream(std::nullopt, CaptureFormat{}, [](const std::vector<float>&) {});
    EXPECT_THROW(stream->start(), PulseError);
    EXPECT_FALSE(stream->isRunning());
    stream->stop();
}
