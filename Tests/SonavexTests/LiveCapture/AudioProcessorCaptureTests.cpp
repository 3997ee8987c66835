#include "Platform/Audio/Capture/FakeCaptureSource.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "SonavexTests/LogCapture.h"

#include <gtest/gtest.h>

using audio::FakeCaptureSource;
using sonavex::AudioDevice;
using sonavex::AudioProcessor;
using Buffers = std::vector<std::vector<float>>;

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

TEST_F(AudioProcessorCapture, StartEmptiesTheStateAndCapturesInBuffersOf16kHzMono) {
    processor->processBuffer({9, 9});
    Buffers delivered;
    processor->startRecordingLive(std::nullopt,
                                  [&](const std::vector<float>& buffer) { delivered.push_back(buffer); });
    EXPECT_TRUE(samples().empty());
    EXPECT_TRUE(processor->relativeEnergy().empty());
    auto stream = source->lastStream();
    EXPECT_EQ(stream->deviceName(), std::nullopt);
    EXPECT_EQ(stream->format().sampleRate, 16000u);
    EXPECT_EQ(stream->format().channels, 1u);
    EXPECT_EQ(stream->format().blockFrames, 1600u);

    source->deliver({1, 2});
    source->deliver({3});
    EXPECT_EQ(samples(), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(delivered, (Buffers{{1, 2}, {3}}));
    EXPECT_EQ(processor->relativeEnergy().size(), 2u);
}

TEST_F(AudioProcessorCapture, ADeviceIsOpenedByItsNumberAndAnUnknownOneFallsBackToTheDefault) {
    LogCapture log(orvane::Logging::LogLevel::info);
    processor->startRecordingLive(7u);
    EXPECT_EQ(source->lastStream()->deviceName(), "bluez_input.headset");
    processor->startRecordingLive(42u);
    EXPECT_EQ(source->lastStream()->deviceName(), std::nullopt);
    source->failDeviceList("server gone");
    processor->startRecordingLive(3u);
    EXPECT_EQ(source->lastStream()->deviceName(), std::nullopt);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Successfully set input device.",
                                                     "Error setting Audio Unit property: 5",
                                                     "Error setting Audio Unit property: -1"}));
}

TEST_F(AudioProcessorCapture, AFailedStartThrowsLeavesNothingRunningAndKeepsTheRest) {
    int oldCallbackCalls = 0;
    processor->startRecordingLive(3u, [&](const std::vector<float>&) { ++oldCallbackCalls; });
    auto running = source->lastStream();
    source->failNextStart("Connection refused");
    EXPECT_THROW(processor->startRecordingLive(7u, [](const std::vector<float>&) { FAIL(); }),
                 std::runtime_error);
    EXPECT_TRUE(source->lastStream()->isDestroyed());

    // The capture that was running still is, with its callback; the last device is still 3.
    running->deliver({2});
    EXPECT_EQ(samples(), std::vector<float>{2});
    EXPECT_EQ(oldCallbackCalls, 1);
    processor->resumeRecordingLive(3u);
    EXPECT_EQ(running->starts(), 2);
}

TEST_F(AudioProcessorCapture, ResumeRestartsTheSameCaptureOrOpensOneOnANewDevice) {
    processor->startRecordingLive(3u);
    auto first = source->lastStream();
    source->deliver({1});
    processor->pauseRecording();
    EXPECT_EQ(first->pauses(), 1);
    EXPECT_FALSE(source->deliver({2}));
    processor->resumeRecordingLive(3u);
    EXPECT_EQ(first->starts(), 2);
    source->deliver({3});

    std::vector<float> seen;
    processor->resumeRecordingLive(7u, [&](const std::vector<float>& buffer) { seen = buffer; });
    auto second = source->lastStream();
    EXPECT_EQ(second->deviceName(), "bluez_input.headset");
    EXPECT_TRUE(first->isDestroyed());
    source->deliver({4});
    // The last start's device is still 3: resuming on it restarts the running capture, and without a
    // callback the current one stays.
    processor->pauseRecording();
    processor->resumeRecordingLive(3u);
    EXPECT_EQ(second->starts(), 2);
    source->deliver({5});
    EXPECT_EQ(seen, std::vector<float>{5});
    EXPECT_EQ(samples(), (std::vector<float>{1, 3, 4, 5}));

    // No device after a start with one: the default input.
    processor->resumeRecordingLive();
    EXPECT_EQ(source->lastStream()->deviceName(), std::nullopt);
    EXPECT_EQ(source->streams().size(), 3u);

    // Stopping keeps samples, energies and callback; a second stop does nothing.
    auto last = source->lastStream();
    processor->stopRecording();
    processor->stopRecording();
    EXPECT_EQ(last->stops(), 1);
    EXPECT_TRUE(last->isDestroyed());
    EXPECT_EQ(samples().size(), 4u);
    EXPECT_EQ(processor->relativeEnergy().size(), 4u);
    EXPECT_TRUE(processor->audioBufferCallback());
}

TEST_F(AudioProcessorCapture, TheCallbackMayStopOrRestartItsOwnCapture) {
    processor->startRecordingLive(std::nullopt,
                                  [&](const std::vector<float>&) { processor->stopRecording(); });
    EXPECT_TRUE(source->deliver({1}));
    EXPECT_TRUE(source->lastStream()->isDestroyed());

    processor->startRecordingLive(std::nullopt,
                                  [&](const std::vector<float>&) { processor->startRecordingLive(7u); });
    EXPECT_TRUE(source->deliver({1}));
    EXPECT_TRUE(source->deliver({2}));
    EXPECT_EQ(source->lastStream()->deviceName(), "bluez_input.headset");
    EXPECT_EQ(samples(), std::vector<float>{2});
}

TEST_F(AudioProcessorCapture, CaptureHoldsTheProcessorOnlyWeakly) {
    AudioProcessor unshared(source);
    EXPECT_THROW(unshared.startRecordingLive(), std::logic_error);
    processor->setMinBufferLength(-1);
    EXPECT_THROW(processor->startRecordingLive(), std::invalid_argument);
    EXPECT_TRUE(source->streams().empty());

    processor->setMinBufferLength(0); // the default length
    processor->startRecordingLive();
    auto stream = source->lastStream();
    EXPECT_EQ(stream->format().blockFrames, 1600u);
    std::weak_ptr<AudioProcessor> weak = processor;
    processor.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(stream->isDestroyed());
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

    { auto [dropped, unused] = processor->startStreamingRecordingLive(); }
    EXPECT_TRUE(source->lastStream()->isDestroyed());

    // The stream does not keep the processor alive.
    auto [kept, writer] = processor->startStreamingRecordingLive();
    std::weak_ptr<AudioProcessor> weak = processor;
    processor.reset();
    EXPECT_TRUE(weak.expired());
    writer.finish();
}

TEST_F(AudioProcessorCapture, AStreamWhoseCaptureCannotStartEndsWithTheError) {
    source->failNextStart("No such entity");
    auto [stream, continuation] = processor->startStreamingRecordingLive();
    EXPECT_THROW(stream.next(), std::runtime_error);
    EXPECT_EQ(stream.next(), std::nullopt);
}

TEST_F(AudioProcessorCapture, DevicesPermissionAndWindowsComeFromTheSourceAndTheSamples) {
    EXPECT_EQ(AudioProcessor::getAudioDevices(*source),
              (std::vector<AudioDevice>{{3, "USB Microphone"}, {7, "Headset"}}));
    EXPECT_TRUE(AudioProcessor::requestRecordPermission(*source));
    auto window = sonavex::StageArray::arrayOf(processor->padOrTrim({1, 2, 3, 4}, 1, 5).get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->toFloats(), (std::vector<float>{2, 3, 4, 0, 0}));

    LogCapture log(orvane::Logging::LogLevel::error);
    source->failDeviceList("Connection refused");
    EXPECT_TRUE(AudioProcessor::getAudioDevices(*source).empty());
    source->setCanRecord(false);
    EXPECT_FALSE(AudioProcessor::requestRecordPermission(*source));
    EXPECT_EQ(processor->padOrTrim({1, 2}, 2, 5), nullptr);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Error: Unable to get the number of audio devices.",
                                                     "Microphone access denied",
                                                     "startIndex is outside the buffer size"}));
}
