#include "RecordingFakes.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/Desktop/FakeScreenSaverService.h"
#include "Support/Desktop/SessionBusTest.h"
#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Files/ContainerInfo.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Recording/SystemAudioRecorder.h"
#include "VelmoraCore/ErrorText.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using recordingtest::EventLog;
using recordingtest::FakeFiles;
using testsupport::LoadedPulseModule;
using velmora::SystemAudioRecorder;

namespace {

// The frequency (in 10 Hz steps, 100 Hz to 4 kHz) with the most power in samples [from, to).
double dominantFrequency(const std::vector<float>& samples, int64_t from, int64_t to, double rate) {
    double best = 0;
    double bestPower = -1;
    for (double frequency = 100; frequency <= 4000; frequency += 10) {
        const double coefficient = 2 * std::cos(2 * M_PI * frequency / rate);
        double previous = 0;
        double older = 0;
        for (int64_t i = from; i < to; ++i) {
            const double current = samples[size_t(i)] + coefficient * previous - older;
            older = previous;
            previous = current;
        }
        const double power = previous * previous + older * older - coefficient * previous * older;
        if (power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}

// Holds the private session bus beside the sound server (the bus's own fixture, used as a part).
struct SessionBusHold : testsupport::SessionBusTest {
    using SessionBusTest::busAddress;
    using SessionBusTest::SetUp;
    using SessionBusTest::TearDown;
    void TestBody() override {}
};

// The run's sound server (test_sink is the default output) with a second output, a headset, and a
// screen-saver service on the private session bus.
class SystemAudioRecordingTest : public testsupport::PulseServerTest {
protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        bus.SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        screenSaver = std::make_unique<testsupport::FakeScreenSaverService>(SessionBusHold::busAddress());
        ASSERT_TRUE(screenSaver->owns());
        headset = std::make_unique<LoadedPulseModule>(
            "module-null-sink",
            R"(sink_name=headset "sink_properties=\"device.description='USB Headset' device.bus=usb\"")");
    }

    void TearDown() override {
        screenSaver.reset();
        bus.TearDown();
    }

    /// A sine played into `sink` by a stream of its own, for as long as the module stays.
    std::unique_ptr<LoadedPulseModule> playSine(const std::string& sink, int frequency) {
        return std::make_unique<LoadedPulseModule>("module-sine",
                                                   "sink=" + sink + " frequency=" + std::to_string(frequency));
    }

    /// Waits until the recorder has written `frames` more frames with `sinks` captured. The deadline
    /// only keeps a broken capture from hanging the run; it measures nothing.
    int64_t recordFurther(const SystemAudioRecorder& recorder, int64_t frames, std::vector<std::string> sinks) {
        std::sort(sinks.begin(), sinks.end());
        int64_t start = -1;
        for (int i = 0; i < 3000; ++i) {
            auto captured = recorder.capturedSinks();
            std::sort(captured.begin(), captured.end());
            if (start < 0 && captured == sinks) {
                start = recorder.framesWritten();
            }
            if (start >= 0 && recorder.framesWritten() >= start + frames) {
                return recorder.framesWritten();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "the capture did not reach the expected sinks and length";
        return recorder.framesWritten();
    }

    std::string sinkInputOf(const std::string& module) {
        std::string listing;
        testsupport::pactl("list short sink-inputs", &listing);
        // "<index>\t<sink>\t<client>\t<driver>\t<format>"; the sine's driver is module-sine.c.
        size_t at = listing.find("module-sine");
        size_t line = listing.rfind('\n', at);
        line = line == std::string::npos ? 0 : line + 1;
        return listing.substr(line, listing.find('\t', line) - line);
    }

    SessionBusHold bus;
    std::unique_ptr<testsupport::FakeScreenSaverService> screenSaver;
    std::unique_ptr<LoadedPulseModule> headset;
    testsupport::TemporaryDirectory folder;
};

constexpr int64_t second = 48000;

} // namespace

TEST_F(SystemAudioRecordingTest, RecordsTheDefaultOutputAsStereoAacAndHoldsTheDisplayAwakeMeanwhile) {
    auto sine = playSine("test_sink", 1000);
    SystemAudioRecorder recorder;
    recorder.start(folder / "system_capture.mp4");
    auto calls = screenSaver->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].method, "Inhibit");
    EXPECT_EQ(calls[0].applicationName, "Velmora");
    EXPECT_EQ(calls[0].reason, "Velmora is recording system audio");
    EXPECT_EQ(screenSaver->heldCookies().size(), 1u);

    const int64_t end = recordFurther(recorder, 2 * second, {"test_sink"});
    recorder.stop();
    EXPECT_TRUE(screenSaver->heldCookies().empty());
    calls = screenSaver->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].method, "UnInhibit");
    EXPECT_EQ(calls[1].cookie, calls[0].cookie);
    EXPECT_TRUE(recorder.didStartWallClock().has_value());
    EXPECT_FALSE(recorder.lastError());
    EXPECT_TRUE(recorder.capturedSinks().empty());

    EXPECT_EQ(audio::ContainerInfo::inspect(folder / "system_capture.mp4").container, "mp4");
    audio::AudioFileReader reader(folder / "system_capture.mp4");
    EXPECT_EQ(reader.codecName(), "aac");
    EXPECT_EQ(reader.fileFormat().sampleRate, 48000.0);
    EXPECT_EQ(reader.fileFormat().channelCount, 2u);
    EXPECT_EQ(reader.length(), recorder.framesWritten());
    auto back = audiotest::readBack(folder / "system_capture.mp4");
    EXPECT_EQ(dominantFrequency(back.planes[0], end - second / 2, end, 48000), 1000);
    EXPECT_EQ(dominantFrequency(back.planes[1], end - second / 2, end, 48000), 1000);

    // A second file at the same place replaces the first, and is as long as its recording even when
    // the idle output delivers nothing in that time.
    sine.reset();
    SystemAudioRecorder next;
    next.start(folder / "system_capture.mp4");
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto recorded = std::chrono::steady_clock::now() - started;
    next.stop();
    EXPECT_EQ(audio::AudioFileReader(folder / "system_capture.mp4").length(), next.framesWritten());
    EXPECT_GE(next.framesWritten(),
              std::chrono::duration_cast<std::chrono::milliseconds>(recorded).count() * 48 - 9600);
}

TEST_F(SystemAudioRecordingTest, FollowsACallOnAnotherOutputAStreamThatMovesAndTheDefaultOutputChanging) {
    SystemAudioRecorder recorder;
    recorder.start(folder / "system_capture.mp4");

    // Each step runs 3.5 s and is checked over its last half second: the test server's idle sinks
    // take up to 2 s to pass on a stream that starts playing (real ones answer at once).
    const int64_t step = 7 * second / 2;
    // A call on the headset while the speakers stay the default output.
    auto call = playSine("headset", 1000);
    const int64_t onHeadset = recordFurther(recorder, step, {"headset", "test_sink"});
    // The call moves to the speakers; the headset has nothing playing any more.
    ASSERT_EQ(testsupport::pactl("move-sink-input " + sinkInputOf("module-sine") + " test_sink"), 0);
    const int64_t moved = recordFurther(recorder, step, {"test_sink"});
    // The user picks the headset as the output, and the other side goes on there.
    call.reset();
    ASSERT_EQ(testsupport::pactl("set-default-sink headset"), 0);
    auto other = playSine("headset", 2500);
    const int64_t switched = recordFurther(recorder, step, {"headset"});
    recorder.stop();
    EXPECT_FALSE(recorder.lastError());

    auto back = audiotest::readBack(folder / "system_capture.mp4");
    ASSERT_GE(int64_t(back.planes[0].size()), switched);
    EXPECT_EQ(dominantFrequency(back.planes[0], onHeadset - second / 2, onHeadset, 48000), 1000);
    EXPECT_EQ(dominantFrequency(back.planes[0], moved - second / 2, moved, 48000), 1000);
    EXPECT_EQ(dominantFrequency(back.planes[1], switched - second / 2, switched, 48000), 2500);
}

TEST_F(SystemAudioRecordingTest, WithoutADefaultOutputStartFailsWithTheDisplayMessageAndHoldsNothing) {
    std::string modules;
    testsupport::pactl("list short modules", &modules);
    const size_t at = modules.find("sink_name=test_sink ");
    ASSERT_NE(at, std::string::npos) << modules;
    const size_t line = modules.rfind('\n', at) == std::string::npos ? 0 : modules.rfind('\n', at) + 1;
    headset.reset();
    ASSERT_EQ(testsupport::pactl("unload-module " + modules.substr(line, modules.find('\t', line) - line)), 0);

    SystemAudioRecorder recorder;
    try {
        recorder.start(folder / "system_capture.mp4");
        ADD_FAILURE() << "started without an output";
    } catch (const velmora::CAError& error) {
        EXPECT_EQ(error.description(), "キャプチャ可能なディスプレイが見つかりません");
    }
    EXPECT_TRUE(screenSaver->heldCookies().empty());
    recorder.stop();
    EXPECT_FALSE(std::filesystem::exists(folder / "system_capture.mp4"));

    // The run's speakers come back as the service script made them.
    ASSERT_EQ(testsupport::pactl("load-module module-null-sink sink_name=test_sink "
                                 "sink_properties=device.description=Test-Sink >/dev/null"),
              0);
}

TEST_F(SystemAudioRecordingTest, AFileThatFailsEndsTheFinishWaitAtOnceAndAStuckOneOnlyUntilTheTimeOut) {
    auto log = std::make_shared<EventLog>();
    FakeFiles files(log);

    // The file fails on its first samples and its close then hangs: stop() need not wait for the
    // close, however long the time-out, because the failure has already ended the wait.
    files.next->failingWrites = {1};
    files.next->closeBlocks = true;
    auto failing = files.next;
    {
        SystemAudioRecorder recorder(files.factory(), std::chrono::hours(1));
        recorder.start(folder / "system_capture.mp4");
        for (int i = 0; i < 3000 && !recorder.lastError(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(recorder.lastError());
        EXPECT_EQ(velmora::errorDescription(recorder.lastError()), "disk full");
        auto stopped = std::async(std::launch::async, [&] { recorder.stop(); });
        // Only a guard against a hang: a stop that waits for the close is let go after it.
        const bool returned = stopped.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        failing->releaseClose();
        stopped.get();
        EXPECT_TRUE(returned) << "stop() waited for a file that had already failed";
        EXPECT_FALSE(recorder.didStartWallClock());
        EXPECT_TRUE(screenSaver->heldCookies().empty());
    }

    // A close that never ends: stop() goes on after the time-out with the close still running.
    files.next->closeBlocks = true;
    auto stuck = files.next;
    SystemAudioRecorder recorder(files.factory(), std::chrono::milliseconds(100));
    recorder.start(folder / "system_capture.mp4");
    recordFurther(recorder, second / 10, {"test_sink"});
    recorder.stop();
    {
        std::lock_guard guard(stuck->lock);
        EXPECT_FALSE(stuck->closed);
    }
    EXPECT_TRUE(recorder.capturedSinks().empty());
    EXPECT_TRUE(screenSaver->heldCookies().empty());
    stuck->releaseClose();
    std::unique_lock guard(stuck->lock);
    stuck->changed.wait(guard, [&] { return stuck->closed; });
    EXPECT_GT(stuck->planes[0].size(), 0u);
}

TEST(SystemAudioRecorder, StopOnARecorderThatNeverStartedDoesNothing) {
    auto log = std::make_shared<EventLog>();
    FakeFiles files(log);
    SystemAudioRecorder recorder(files.factory());
    recorder.stop();
    EXPECT_TRUE(log->all().empty());
    EXPECT_FALSE(recorder.didStartWallClock());
    EXPECT_FALSE(recorder.lastError());
}
