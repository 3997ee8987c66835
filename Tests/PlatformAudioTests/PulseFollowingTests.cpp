#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Platform/Audio/Pulse/PulseEventSubscription.h"
#include "Platform/Audio/Pulse/PulseServerQueries.h"
#include "Support/Audio/TestPulseServer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using audio::PulseCallbackRecordStream;
using audio::PulseContext;
using audio::PulseEventSubscription;

namespace {

// Counts what a handler was told, for a test thread to wait on.
class Tally {
public:
    void add() {
        std::lock_guard guard(lock_);
        ++count_;
        changed_.notify_all();
    }
    // The deadline only keeps a broken subscription from hanging the run; it measures nothing.
    bool waitFor(int count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(30), [&] { return count_ >= count; });
    }
    int count() {
        std::lock_guard guard(lock_);
        return count_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int count_ = 0;
};

class PulseFollowingTest : public testsupport::PulseServerTest {};

} // namespace

TEST_F(PulseFollowingTest, SubscriptionsOnOneContextAreAllToldAndEachStopsOnItsOwn) {
    auto context = PulseContext::shared();
    Tally first;
    Tally second;
    auto sinkAdded = [](Tally& tally) {
        return [&tally](PulseEventSubscription::Facility facility, PulseEventSubscription::Change change, uint32_t) {
            if (facility == PulseEventSubscription::Facility::sink &&
                change == PulseEventSubscription::Change::added) {
                tally.add();
            }
        };
    };
    auto one = std::make_unique<PulseEventSubscription>(context, sinkAdded(first));
    PulseEventSubscription two(context, sinkAdded(second));
    {
        testsupport::LoadedPulseModule sink("module-null-sink", "sink_name=following_one");
        ASSERT_TRUE(first.waitFor(1));
        ASSERT_TRUE(second.waitFor(1));
    }
    one.reset();
    testsupport::LoadedPulseModule sink("module-null-sink", "sink_name=following_two");
    ASSERT_TRUE(second.waitFor(2));
    EXPECT_EQ(first.count(), 1);

    // What plays where: a stream on the new sink, listed with that sink.
    testsupport::LoadedPulseModule sine("module-sine", "sink=following_two frequency=440");
    uint32_t sinkIndex = 0;
    for (const auto& device : audio::listSinks(*context)) {
        if (device.name == "following_two") {
            sinkIndex = device.index;
        }
    }
    const auto inputs = audio::listSinkInputs(*context);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].sink, sinkIndex);
    EXPECT_FALSE(inputs[0].corked);
}

TEST_F(PulseFollowingTest, ACallbackStreamDeliversWholeFramesUntilStoppedAndAMonitorEndsWithItsSink) {
    auto context = PulseContext::shared();
    PulseCallbackRecordStream::Options options;
    options.sourceName = "test_source";
    options.sampleRate = 16000;
    options.channels = 2;
    Tally fragments;
    std::atomic<bool> stopped{false};
    std::atomic<bool> afterStop{false};
    std::atomic<bool> partialFrame{false};
    PulseCallbackRecordStream stream(context, options, [&](const void*, size_t bytes) {
        partialFrame = partialFrame || bytes % 8 != 0;
        afterStop = afterStop || stopped;
        fragments.add();
    });
    EXPECT_EQ(stream.sourceName(), "test_source");
    ASSERT_TRUE(fragments.waitFor(10));
    stream.stop();
    stopped = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(afterStop);
    EXPECT_FALSE(partialFrame);

    // A monitor that must stay on its source ends when the sink goes, instead of being moved on.
    auto sink = std::make_unique<testsupport::LoadedPulseModule>("module-null-sink", "sink_name=going");
    options.sourceName = "going.monitor";
    options.staysOnSource = true;
    Tally ended;
    PulseCallbackRecordStream monitor(
        context, options, [](const void*, size_t) {}, [&](const audio::PulseError&) { ended.add(); });
    sink.reset();
    ASSERT_TRUE(ended.waitFor(1));
}
