#include "Platform/Audio/Capture/FakeCaptureSource.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "SonavexTests/LogCapture.h"

#include <gtest/gtest.h>
#include <unordered_set>

using audio::FakeCaptureSource;
using sonavex::AudioDevice;
using sonavex::AudioProcessor;

namespace {

class AudioProcessorCapture : public ::testing::Test {
protected:
    void SetUp() override {
        source->setDevices(
            {{3, "alsa_input.usb-mic", "USB Microphone"}, {7, "bluez_input.headset", "Headset"}});
    }

    std::vector<float> samples() const { return processor->audioSamples(); }

    std::shared_ptr<FakeCaptureSource> source = std::make_shared<FakeCaptureSource>();
    std::shared_ptr<AudioProcessor> processor = std::make_shared<AudioProcessor>(source);
};

} // namespace

TEST_F(AudioProcessorCapture, StartOpensTheDefaultInputIn16kHzMonoBuffersAndEmptiesThePrevious) {
    processor->processBuffer({9, 9});
    std::vector<std::vector<float>> delivered;
    processor->startRecordingLive(std::nullopt,
                                  [&](const std::vector<float>& buffer) { delivered.push_back(buffer); });
    EXPECT_TRUE(samples().empty());
    EXPECT_TRUE(processor->relativeEnergy().empty());

    auto stream = source->lastStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->deviceName(), std::nullopt);
    EXPECT_EQ(stream->format().sampleRate, 16000u);
    EXPECT_EQ(stream->format().channels, 1u);
    EXPECT_EQ(stream->format().blockFrames, 1600u);
    EXPECT_EQ(stream->starts(), 1);

    source->deliver({1, 2});
    source->deliver({3});
    EXPECT_EQ(samples(), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(delivered, (std::vector<std::vector<float>>{{1, 2}, {3}}));
    EXPECT_EQ(processor->relativeEnergy().size(), 2u);
}

TEST_F(AudioProcessorCapture, ADeviceIsOpenedByItsNumberAndAnUnknownOneFallsBackToTheDefault) {
    LogCapture log(orvane::Logging::LogLevel::info);
    processor->startRecordingLive(7u);
    EXPECT_EQ(source->lastStream()->deviceName(), "bluez_input.headset");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Successfully set input device."});

    processor->startRecordingLive(42u);
    EXPECT_EQ(source->lastStream()->deviceName(), std::nullopt);
    EXPECT_EQ(log.lines().back(), "Error setting Audio Unit property: 5");
    EXPECT_EQ(source->lastStream()->starts(), 1);

    source->failDeviceList("server gone");
    processor->startRecordingLive(3u);
    EXPECT_EQ(source->lastStream()->deviceName(), std::nullopt);
    EXPECT_EQ(log.lines().back(), "Error setting Audio Unit property: -1");
}

TEST_F(AudioProcessorCapture, AFailedStartThrowsLeavesNothingRunningAndKeepsTheRest) {
    int oldCallbackCalls = 0;
    processor->startRecordingLive(3u, [&](const std::vector<float>&) { ++oldCallbackCalls; });
    auto running = source->lastStream();
    source->deliver({1});

    source->failNextStart("Connection refused");
    try {
        processor->startRecordingLive(7u, [](const std::vector<float>&) { FAIL() << "callback replaced"; });
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Connection refused");
    }
    auto failed = source->lastStream();
    EXPECT_NE(failed, running);
    EXPECT_TRUE(failed->isDestroyed());
    EXPECT_TRUE(samples().empty());

    // The capture that was running still is, with its callback; the last device is still 3.
    source->streams().front()->deliver({2});
    EXPECT_EQ(samples(), std::vector<float>{2});
    EXPECT_EQ(oldCallbackCalls, 2);
    processor->resumeRecordingLive(3u);
    EXPECT_EQ(running->starts(), 2);
    EXPECT_EQ(source->streams().size(), 2u);
}

TEST_F(AudioProcessorCapture, PauseHoldsTheCaptureAndResumeOnTheSameDeviceRestartsIt) {
    processor->startRecordingLive(3u);
    auto stream = source->lastStream();
    source->deliver({1});
    processor->pauseRecording();
    EXPECT_EQ(stream->pauses(), 1);
    EXPECT_FALSE(source->deliver({2}));

    processor->resumeRecordingLive(3u);
    EXPECT_EQ(stream->starts(), 2);
    EXPECT_EQ(source->streams().size(), 1u);
    source->deliver({3});
    EXPECT_EQ(samples(), (std::vector<float>{1, 3}));
    EXPECT_EQ(processor->relativeEnergy().size(), 2u);
}

TEST_F(AudioProcessorCapture, ResumeOnAnotherDeviceOpensANewCaptureAndKeepsTheSamples) {
    processor->startRecordingLive(3u);
    auto first = source->lastStream();
    source->deliver({1});
    processor->pauseRecording();

    std::vector<float> seen;
    processor->resumeRecordingLive(7u, [&](const std::vector<float>& buffer) { seen = buffer; });
    auto second = source->lastStream();
    ASSERT_NE(second, first);
    EXPECT_EQ(second->deviceName(), "bluez_input.headset");
    EXPECT_TRUE(first->isDestroyed());
    source->deliver({2});
    EXPECT_EQ(samples(), (std::vector<float>{1, 2}));
    EXPECT_EQ(seen, std::vector<float>{2});

    // Without a callback the current one stays.
    processor->resumeRecordingLive(7u);
    source->deliver({4});
    EXPECT_EQ(seen, std::vector<float>{4});
}

TEST_F(AudioProcessorCapture, ResumeWithoutADeviceAfterAStartWithOneOpensTheDefault) {
    processor->startRecordingLive(3u);
    processor->resumeRecordingLive();
    EXPECT_EQ(source->streams().size(), 2u);
    EXPECT_EQ(source->lastStream()->deviceName(), std::nullopt);

    // Started without a device, resuming without one restarts the same capture.
    processor->startRecordingLive();
    processor->pauseRecording();
    processor->resumeRecordingLive();
    EXPECT_EQ(source->streams().size(), 3u);
    EXPECT_EQ(source->lastStream()->starts(), 2);
}

TEST_F(AudioProcessorCapture, StopEndsTheCaptureAndKeepsSamplesEnergiesAndCallback) {
    int calls = 0;
    processor->startRecordingLive(std::nullopt, [&](const std::vector<float>&) { ++calls; });
    auto stream = source->lastStream();
    source->deliver({1, 2});
    processor->stopRecording();
    EXPECT_EQ(stream->stops(), 1);
    EXPECT_TRUE(stream->isDestroyed());
    EXPECT_FALSE(source->deliver({3}));
    EXPECT_EQ(samples(), (std::vector<float>{1, 2}));
    EXPECT_EQ(processor->relativeEnergy().size(), 1u);
    EXPECT_TRUE(processor->audioBufferCallback());
    processor->stopRecording();
    EXPECT_EQ(stream->stops(), 1);
}

TEST_F(AudioProcessorCapture, TheCallbackMayStopOrRestartItsOwnCapture) {
    processor->startRecordingLive(std::nullopt,
                                  [&](const std::vector<float>&) { processor->stopRecording(); });
    auto first = source->lastStream();
    EXPECT_TRUE(source->deliver({1}));
    EXPECT_TRUE(first->isDestroyed());

    processor->startRecordingLive(std::nullopt, [&](const std::vector<float>& buffer) {
        if (buffer[0] == 1) {
            processor->startRecordingLive(7u);
        }
    });
    EXPECT_TRUE(source->deliver({1}));
    EXPECT_EQ(source->lastStream()->deviceName(), "bluez_input.headset");
    EXPECT_TRUE(source->deliver({2}));
    EXPECT_EQ(samples(), std::vector<float>{2});
}

TEST_F(AudioProcessorCapture, CaptureDoesNotKeepAReleasedProcessorAlive) {
    processor->startRecordingLive();
    auto stream = source->lastStream();
    std::weak_ptr<AudioProcessor> weak = processor;
    processor.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(stream->isDestroyed());
    EXPECT_EQ(stream->stops(), 1);
}

TEST_F(AudioProcessorCapture, CaptureNeedsAProcessorOwnedByASharedPointer) {
    AudioProcessor unshared(source);
    EXPECT_THROW(unshared.startRecordingLive(), std::logic_error);
    EXPECT_TRUE(source->streams().empty());
    processor->setMinBufferLength(-1);
    EXPECT_THROW(processor->startRecordingLive(), std::invalid_argument);
    processor->setMinBufferLength(0);
    processor->startRecordingLive();
    EXPECT_EQ(source->lastStream()->format().blockFrames, 1600u);
}

TEST_F(AudioProcessorCapture, StreamingYieldsEachBufferAndEndingTheStreamStopsCapture) {
    auto [stream, continuation] = processor->startStreamingRecordingLive(7u);
    auto capture = source->lastStream();
    source->deliver({1, 2});
    source->deliver({3});
    EXPECT_EQ(stream.next(), (std::vector<float>{1, 2}));
    EXPECT_EQ(stream.next(), std::vector<float>{3});

    continuation.finish();
    EXPECT_EQ(stream.next(), std::nullopt);
    EXPECT_TRUE(capture->isDestroyed());
    EXPECT_FALSE(processor->audioBufferCallback());
    EXPECT_EQ(samples(), (std::vector<float>{1, 2, 3}));
}

TEST_F(AudioProcessorCapture, DroppingTheStreamStopsCaptureAndTheStreamDoesNotKeepTheProcessor) {
    {
        auto [stream, continuation] = processor->startStreamingRecordingLive();
        EXPECT_TRUE(source->lastStream()->isRunning());
    }
    EXPECT_TRUE(source->lastStream()->isDestroyed());

    auto [stream, continuation] = processor->startStreamingRecordingLive();
    std::weak_ptr<AudioProcessor> weak = processor;
    processor.reset();
    EXPECT_TRUE(weak.expired());
    continuation.finish(); // the processor is gone: nothing to stop
    EXPECT_EQ(stream.next(), std::nullopt);
}

TEST_F(AudioProcessorCapture, AStreamWhoseCaptureCannotStartEndsWithTheError) {
    source->failNextStart("No such entity");
    auto [stream, continuation] = processor->startStreamingRecordingLive();
    try {
        stream.next();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "No such entity");
    }
    EXPECT_EQ(stream.next(), std::nullopt);
    EXPECT_FALSE(continuation.yield({1}));
}

TEST_F(AudioProcessorCapture, DevicesAndPermissionComeFromTheSource) {
    EXPECT_EQ(AudioProcessor::getAudioDevices(*source),
              (std::vector<AudioDevice>{{3, "USB Microphone"}, {7, "Headset"}}));
    EXPECT_TRUE(AudioProcessor::requestRecordPermission(*source));

    LogCapture log(orvane::Logging::LogLevel::error);
    source->failDeviceList("Connection refused");
    EXPECT_TRUE(AudioProcessor::getAudioDevices(*source).empty());
    source->setCanRecord(false);
    EXPECT_FALSE(AudioProcessor::requestRecordPermission(*source));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Error: Unable to get the number of audio devices.",
                                                     "Microphone access denied"}));

    std::unordered_set<AudioDevice> set{{3, "a"}, {3, "a"}, {3, "b"}};
    EXPECT_EQ(set.size(), 2u);
}

TEST_F(AudioProcessorCapture, PadOrTrimCutsAWindowForTheMelStage) {
    auto window = processor->padOrTrim({1, 2, 3, 4}, 1, 5);
    auto array = sonavex::StageArray::arrayOf(window.get());
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->shape(), std::vector<int64_t>{5});
    EXPECT_EQ(array->toFloats(), (std::vector<float>{2, 3, 4, 0, 0}));

    LogCapture log(orvane::Logging::LogLevel::error);
    EXPECT_EQ(processor->padOrTrim({1, 2}, 2, 5), nullptr);
    EXPECT_EQ(processor->padOrTrim({}, 0, 5), nullptr);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"startIndex is outside the buffer size",
                                                     "startIndex is outside the buffer size"}));
}
