#include "Platform/Audio/Pulse/PulseError.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "SonavexTests/LogCapture.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/ScopedEnvironment.h"
#include "Support/Audio/SignalLevel.h"
#include "Support/Audio/TestPulseServer.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>

using sonavex::AudioProcessor;
using testsupport::measureSignal;
using testsupport::testSignalFrequency;
using testsupport::testSignalPeak;

namespace {

// Counts the buffers the processor's callback sees; a test waits until there are enough.
class BufferCounter {
public:
    AudioProcessor::BufferCallback callback() {
        return [this](const std::vector<float>&) {
            std::lock_guard guard(lock_);
            ++buffers_;
            changed_.notify_all();
        };
    }
    // The deadline only keeps a broken capture from hanging the run; it measures nothing.
    bool waitFor(int count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(30), [&] { return buffers_ >= count; });
    }
    int count() {
        std::lock_guard guard(lock_);
        return buffers_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int buffers_ = 0;
};

class AudioProcessorPulse : public testsupport::PulseServerTest {
protected:
    std::shared_ptr<AudioProcessor> processor = std::make_shared<AudioProcessor>();
};

std::optional<uint32_t> deviceNamed(const std::string& name) {
    for (const auto& device : AudioProcessor::getAudioDevices()) {
        if (device.name == name) {
            return device.id;
        }
    }
    return std::nullopt;
}

} // namespace

TEST_F(AudioProcessorPulse, StreamsTheKnownSignalWithItsLevelAndLengthUntilTheReaderLetsGo) {
    {
        auto [stream, continuation] = processor->startStreamingRecordingLive();
        for (int i = 0; i < 6; ++i) {
            auto buffer = stream.next();
            ASSERT_TRUE(buffer);
            EXPECT_EQ(buffer->size(), 1600u);
        }
    }
    // The reader is gone: capture has stopped and the callback is cleared.
    EXPECT_FALSE(processor->audioBufferCallback());

    const auto samples = processor->audioSamples();
    const auto energies = processor->audioEnergy();
    ASSERT_GE(energies.size(), 6u);
    EXPECT_EQ(samples.size(), energies.size() * 1600);
    EXPECT_EQ(energies[0].rel, 0.0f);
    // Skip the first buffer (what the pipe held before), then half a second of the sine.
    auto level = measureSignal(std::span(samples).subspan(1600, 8000));
    EXPECT_NEAR(level.peak, testSignalPeak, 0.01);
    EXPECT_NEAR(level.rms, testSignalPeak / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(double(level.zeroCrossings), testSignalFrequency, 4);
    for (std::size_t i = 1; i < energies.size(); ++i) {
        EXPECT_NEAR(energies[i].avg, testSignalPeak / std::sqrt(2.0), 0.02) << "buffer " << i;
        EXPECT_NEAR(energies[i].max, testSignalPeak, 0.02) << "buffer " << i;
        EXPECT_LT(energies[i].rel, 0.05f) << "as loud as the buffers before it";
    }
}

TEST_F(AudioProcessorPulse, ListsTheTestSourceWithoutMonitorsAndCapturesFromItByNumber) {
    auto id = deviceNamed("Test-Source");
    ASSERT_TRUE(id);
    for (const auto& device : AudioProcessor::getAudioDevices()) {
        EXPECT_EQ(device.name.find("Monitor"), std::string::npos) << device.name;
    }
    EXPECT_TRUE(AudioProcessor::requestRecordPermission());

    LogCapture log(orvane::Logging::LogLevel::info);
    BufferCounter counter;
    processor->startRecordingLive(*id, counter.callback());
    ASSERT_TRUE(counter.waitFor(2));
    processor->pauseRecording();
    const auto pausedAt = processor->audioSamples().size();
    EXPECT_EQ(processor->audioSamples().size(), pausedAt) << "a block arrived after the pause";
    processor->resumeRecordingLive(*id);
    ASSERT_TRUE(counter.waitFor(counter.count() + 2));
    // An unknown device: an error line, then capture from the default input, the same source here.
    processor->resumeRecordingLive(0xFFFFFFF0u);
    ASSERT_TRUE(counter.waitFor(counter.count() + 2));
    processor->stopRecording();

    const auto samples = processor->audioSamples();
    EXPECT_GT(samples.size(), pausedAt + 3200);
    EXPECT_EQ(samples.size() % 1600, 0u);
    EXPECT_NEAR(measureSignal(std::span(samples).last(1600)).peak, testSignalPeak, 0.01);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Successfully set input device.",
                                                     "Error setting Audio Unit property: 5"}));
}

TEST_F(AudioProcessorPulse, WithoutAServerStartThrowsTheLibrarysReasonAndNothingRuns) {
    testsupport::ScopedEnvironment environment;
    environment.set("PULSE_SERVER", "unix:/nonexistent/velmora/native");
    auto offline = std::make_shared<AudioProcessor>();
    offline->processBuffer({1});
    try {
        offline->startRecordingLive();
        FAIL() << "capture started without a server";
    } catch (const audio::PulseError& error) {
        EXPECT_FALSE(error.libraryText().empty());
        EXPECT_NE(std::string(error.what()).find(error.libraryText()), std::string::npos);
    }
    EXPECT_TRUE(offline->audioSamples().empty());
    offline->stopRecording();

    LogCapture log(orvane::Logging::LogLevel::error);
    EXPECT_TRUE(AudioProcessor::getAudioDevices().empty());
    EXPECT_FALSE(AudioProcessor::requestRecordPermission());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Error: Unable to get the number of audio devices.",
                                                     "Microphone access denied"}));

    // The stream form ends with the same error.
    auto [stream, continuation] = offline->startStreamingRecordingLive();
    EXPECT_THROW(stream.next(), audio::PulseError);
}

TEST_F(AudioProcessorPulse, ToolListsDevicesAndRecordsExactlyTheAskedLength) {
    auto devices = runSonavex("audio devices");
    EXPECT_EQ(devices.status, 0);
    auto id = deviceNamed("Test-Source");
    ASSERT_TRUE(id);
    EXPECT_NE(devices.output.find("{\"id\":" + std::to_string(*id) + ",\"name\":\"Test-Source\"}\n"),
              std::string::npos)
        << devices.output;
    EXPECT_EQ(devices.output.find("Monitor"), std::string::npos);

    testsupport::TemporaryDirectory folder;
    const auto out = (folder / "take.f32").string();
    auto outcome =
        runSonavex("audio record --seconds 0.45 --device " + std::to_string(*id) + " --out " + out);
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    auto line = sonavex::json::parseDocument(outcome.output);
    // Whole 0.1-s buffers up to the length asked for, and not one more.
    EXPECT_EQ(line["samples"], 8000);
    EXPECT_EQ(line["buffers"], 5);
    ASSERT_EQ(line["relativeEnergy"].size(), 5u);
    EXPECT_EQ(line["relativeEnergy"][0], 0.0);
    EXPECT_EQ(outcome.output.rfind("{\"samples\":8000,\"buffers\":5,\"relativeEnergy\":[0.0,", 0), 0u);

    std::ifstream file(out, std::ios::binary);
    std::vector<float> samples(8000);
    file.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size() * sizeof(float)));
    EXPECT_EQ(file.gcount(), std::streamsize(32000));
    EXPECT_NEAR(measureSignal(std::span(samples).subspan(1600, 6400)).peak, testSignalPeak, 0.01);

    EXPECT_EQ(runSonavex("audio record").status, 2);
    EXPECT_EQ(runSonavex("audio record --seconds 0").status, 2);
    EXPECT_EQ(runSonavex("audio record --seconds 1 --device -3").status, 2);
    EXPECT_EQ(runSonavex("audio devices extra").status, 2);
    testsupport::ScopedEnvironment environment;
    environment.set("PULSE_SERVER", "unix:/nonexistent/velmora/native");
    auto offline = runSonavex("audio record --seconds 1");
    EXPECT_EQ(offline.status, 1);
    EXPECT_EQ(offline.output.rfind("{\"error\":\"PulseError\",\"message\":\"", 0), 0u) << offline.output;
}
