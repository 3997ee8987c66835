#include "../Devices/FakeAudioSystem.h"
#include "RecordingFakes.h"
#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/Audio/SignalLevel.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"
#include "VelmoraCore/AudioCapture/Recording/MicRecorder.h"
#include "VelmoraCore/ErrorText.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

using recordingtest::EventLog;
using recordingtest::FakeFiles;
using recordingtest::FakeInputs;
using testsupport::FakeAudioDevice;
using velmora::CAError;
using velmora::MicRecorder;
using velmora::TransportType;

namespace {

// A Bluetooth headset (the default input), a built-in microphone, a USB microphone whose rate cannot
// be read and that reports no input channels.
class MicRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        system.devices = {
            FakeAudioDevice{1, "bt", "AirPods", 16000.0, TransportType::bluetooth, 1, 2},
            FakeAudioDevice{2, "internal", "MacBook Microphone", 48000.0, TransportType::builtIn, 2, 0},
            FakeAudioDevice{3, "usb", "USB Mic", std::nullopt, TransportType::usb, 0, 0},
        };
        system.defaultInput = 1;
    }

    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    testsupport::FakeAudioSystem system;
    FakeInputs inputs{log};
    FakeFiles files{log};
    MicRecorder recorder{system, inputs.opener(), files.factory()};
};

} // namespace

TEST_F(MicRecorderTest, DeviceChoiceFollowsThePreferenceThenTheBluetoothRule) {
    struct Case {
        std::optional<std::string> preferred;
        std::optional<velmora::AudioDeviceID> defaultInput;
        bool withBuiltIn;
        std::string recorded;
        double rate;
        int channels;
    };
    const Case cases[] = {
        {std::nullopt, 1, true, "internal", 48000.0, 2}, // Bluetooth default, built-in present
        {"gone", 1, true, "internal", 48000.0, 2},       // unknown preference: the same rule
        {"bt", 1, true, "bt", 16000.0, 1},               // a picked Bluetooth microphone is kept
        {std::nullopt, 1, false, "bt", 16000.0, 1},      // no built-in: the Bluetooth one stays
        {"usb", 1, true, "usb", 48000.0, 1},             // unreadable rate, 0 channels
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recorded + (c.preferred ? " preferred " + *c.preferred : " by default"));
        if (!c.withBuiltIn) {
            system.devices[1].transportType = TransportType::usb;
        }
        recorder.preferredDeviceUID = c.preferred;
        recorder.start("mic.caf");
        ASSERT_FALSE(inputs.opened.empty());
        EXPECT_EQ(inputs.opened.back()->uid, c.recorded);
        EXPECT_EQ(inputs.opened.back()->sampleRate, c.rate);
        EXPECT_EQ(inputs.opened.back()->channels, c.channels);
        EXPECT_EQ(files.files.back()->sampleRate, c.rate);
        EXPECT_EQ(files.files.back()->channels, c.channels);
        EXPECT_EQ(recorder.deviceUID(), c.recorded);
        recorder.stop();
        system.devices[1].transportType = TransportType::builtIn;
    }
}

TEST_F(MicRecorderTest, NoDefaultInputIsTheDeviceMessageAndNothingIsOpened) {
    system.defaultInput.reset();
    try {
        recorder.start("mic.caf");
        FAIL() << "started without an input";
    } catch (const CAError& error) {
        EXPECT_EQ(error.description(), "既定の入力デバイスが見つかりません");
    }
    EXPECT_TRUE(files.files.empty());
    EXPECT_TRUE(inputs.opened.empty());

    // A capture that cannot start reports the server's call and leaves no empty file behind.
    system.defaultInput = 2;
    inputs.fails = true;
    EXPECT_THROW(recorder.start("mic.caf"), CAError);
    ASSERT_EQ(files.files.size(), 1u);
    EXPECT_TRUE(files.files[0]->closed);
    testsupport::TemporaryDirectory folder;
    MicRecorder onDisk{system, inputs.opener(), velmora::makeCafCaptureFile};
    EXPECT_THROW(onDisk.start(folder / "mic.caf"), CAError);
    onDisk.stop();
    EXPECT_FALSE(std::filesystem::exists(folder / "mic.caf"));
}

TEST_F(MicRecorderTest, EachBufferSetsThePeakAndIsWrittenDeinterleavedInWholeFrames) {
    system.defaultInput = 2; // stereo
    recorder.start("mic.caf");
    EXPECT_EQ(recorder.level(), 0.0f);

    // 4096 bytes of stereo: 512 frames; channel 0 holds the frame number, channel 1 its negative.
    std::vector<float> buffer(1024);
    for (size_t f = 0; f < 512; ++f) {
        buffer[2 * f] = float(f) / 1024;
        buffer[2 * f + 1] = -float(f) / 1024;
    }
    ASSERT_TRUE(inputs.deliver(buffer));
    auto& file = *files.files.back();
    ASSERT_EQ(file.planes[0].size(), 512u);
    EXPECT_EQ(file.planes[0][511], 511.0f / 1024);
    EXPECT_EQ(file.planes[1][300], -300.0f / 1024);
    EXPECT_EQ(recorder.level(), 511.0f / 1024);
    EXPECT_TRUE(recorder.firstBufferWallClock().has_value());

    // 4092 bytes: 511 frames, the odd last sample left out (even when it is the loudest).
    buffer[1022] = 0.9f;
    inputs.deliver(buffer.data(), 4092);
    EXPECT_EQ(file.planes[0].size(), 1023u);
    EXPECT_EQ(file.planes[1].size(), 1023u);
    EXPECT_EQ(recorder.level(), 511.0f / 1024 - 1.0f / 1024);

    // The peak of both channels together, linear; silence is 0; a lost stretch or less than a frame
    // changes nothing.
    inputs.deliver(std::vector<float>{0.1f, -0.7f, 0.3f, 0.0f});
    EXPECT_FLOAT_EQ(recorder.level(), 0.7f);
    inputs.deliver(nullptr, 4096);
    inputs.deliver(buffer.data(), 4);
    EXPECT_FLOAT_EQ(recorder.level(), 0.7f);
    inputs.deliver(std::vector<float>(64, 0.0f));
    EXPECT_EQ(recorder.level(), 0.0f);
    EXPECT_EQ(recorder.framesWritten(), 512 + 511 + 2 + 32);

    inputs.deliver(std::vector<float>{0.5f, 0.5f});
    recorder.stop();
    EXPECT_EQ(recorder.level(), 0.0f);
}

TEST_F(MicRecorderTest, AFailedWriteIsCountedOnceAndTheNextBuffersAreStillWritten) {
    files.next->failingWrites = {2};
    recorder.start("mic.caf");
    for (int i = 0; i < 4; ++i) {
        inputs.deliver(std::vector<float>(2, float(i + 1) / 10));
    }
    EXPECT_EQ(recorder.writeFailureCount(), 1);
    ASSERT_TRUE(recorder.lastWriteError());
    EXPECT_EQ(velmora::errorDescription(recorder.lastWriteError()), "disk full");
    EXPECT_EQ(files.files[0]->planes[0], (std::vector<float>{0.1f, 0.3f, 0.4f}));
    EXPECT_EQ(files.files[0]->channels, 2);
    recorder.stop();

    // The next recording starts clean, and a file it cannot open is its own error, unchanged.
    files.failure = "no such folder";
    try {
        recorder.start("elsewhere/mic.caf");
        FAIL() << "started without a file";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "no such folder");
    }
    EXPECT_EQ(recorder.writeFailureCount(), 0);
    EXPECT_FALSE(recorder.lastWriteError());
}

TEST_F(MicRecorderTest, StopEndsTheInputBeforeClosingTheFileAndDoesNothingWhenIdle) {
    recorder.stop();
    EXPECT_TRUE(log->all().empty());

    recorder.start("mic.caf");
    recorder.stop();
    EXPECT_FALSE(inputs.deliver(std::vector<float>{0.5f}));
    EXPECT_EQ(log->all(), (std::vector<std::string>{"open file mic.caf", "open input internal", "stop input",
                                                    "close file"}));

    // A start over a running recording ends the old capture before its file is replaced.
    recorder.start("first.caf");
    recorder.start("second.caf");
    const auto events = log->all();
    EXPECT_EQ(std::vector<std::string>(events.begin() + 4, events.end()),
              (std::vector<std::string>{"open file first.caf", "open input internal", "stop input", "close file",
                                        "open file second.caf", "open input internal"}));
}

namespace {

// The microphones of a machine on the private sound server: a Bluetooth headset at 16 kHz mono (the
// default) and a built-in microphone at 44.1 kHz stereo, beside the run's own test_source, which
// plays a 440 Hz sine of amplitude 0.5.
class MicRecordingTest : public testsupport::PulseServerTest {
protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // Both pass on test_source's sine, each in a format of its own.
        modules.push_back(std::make_unique<testsupport::LoadedPulseModule>(
            "module-remap-source",
            R"(source_name=bt_mic master=test_source "source_properties=\"device.description='Headset' device.bus=bluetooth\"")"));
        modules.push_back(std::make_unique<testsupport::LoadedPulseModule>(
            "module-remap-source",
            R"(source_name=internal_mic master=test_source rate=44100 channels=2 "source_properties=\"device.description='Built-in Microphone' device.form_factor=internal\"")"));
        ASSERT_EQ(testsupport::pactl("set-default-source bt_mic"), 0);
    }

    // The wait only keeps a broken capture from hanging the run; it measures nothing.
    bool waitForFrames(const MicRecorder& recorder, int64_t frames) {
        for (int i = 0; i < 3000 && recorder.framesWritten() < frames; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return recorder.framesWritten() >= frames;
    }

    testsupport::TemporaryDirectory folder;
    std::vector<std::unique_ptr<testsupport::LoadedPulseModule>> modules;
};

} // namespace

TEST_F(MicRecordingTest, RecordsTheChosenSourceAtItsOwnRateAndChannels) {
    MicRecorder recorder;
    recorder.start(folder / "bt.caf");
    EXPECT_EQ(recorder.deviceUID(), "internal_mic");
    ASSERT_TRUE(waitForFrames(recorder, 4410));
    recorder.stop();
    auto back = audiotest::readBack(folder / "bt.caf");
    EXPECT_EQ(back.sampleRate, 44100.0);
    ASSERT_EQ(back.planes.size(), 2u);
    EXPECT_EQ(int64_t(back.planes[0].size()), recorder.framesWritten());

    // The preferred source, here the one that plays the sine: its samples reach the file unchanged.
    recorder.preferredDeviceUID = "test_source";
    recorder.start(folder / "mic.caf");
    EXPECT_EQ(recorder.deviceUID(), "test_source");
    ASSERT_TRUE(waitForFrames(recorder, 16000));
    EXPECT_NEAR(recorder.level(), 0.5f, 0.01f);
    recorder.stop();
    back = audiotest::readBack(folder / "mic.caf");
    EXPECT_EQ(back.sampleRate, 16000.0);
    ASSERT_EQ(back.planes.size(), 1u);
    float peak = 0;
    for (float sample : back.planes[0]) {
        peak = std::max(peak, std::fabs(sample));
    }
    EXPECT_NEAR(peak, 0.5f, 0.01f);
    EXPECT_EQ(recorder.writeFailureCount(), 0);
}

// Multi-input interfaces and microphone arrays: seven or eight inputs, named by the server's auxiliary
// positions, each carrying test_source's sine. Every input reaches its own channel of the file.
TEST_F(MicRecordingTest, AMicrophoneOfSevenOrEightInputsRecordsEachInputOnItsOwnChannel) {
    for (int channels : {7, 8}) {
        std::string positions, masters;
        for (int c = 0; c < channels; ++c) {
            positions += (c > 0 ? ",aux" : "aux") + std::to_string(c);
            masters += c > 0 ? ",mono" : "mono";
        }
        const std::string name = "array" + std::to_string(channels);
        testsupport::LoadedPulseModule array("module-remap-source", "source_name=" + name +
                                                                        " master=test_source remix=no channels=" +
                                                                        std::to_string(channels) + " channel_map=" +
                                                                        positions + " master_channel_map=" + masters);
        ASSERT_GE(array.index(), 0);
        MicRecorder recorder;
        recorder.preferredDeviceUID = name;
        recorder.start(folder / (name + ".caf"));
        ASSERT_TRUE(waitForFrames(recorder, 16000));
        recorder.stop();
        const auto back = audiotest::readBack(folder / (name + ".caf"));
        ASSERT_EQ(back.planes.size(), size_t(channels));
        for (const auto& plane : back.planes)
            EXPECT_NEAR(testsupport::measureSignal(plane).peak, testsupport::testSignalPeak, 0.01) << name;
    }

    // A capture the server refuses says which input, in which format, and why.
    try {
        velmora::openPulseInputStream("no_such_source", 48000, 2, [](const void*, size_t) {}, {});
        ADD_FAILURE() << "opened a source that does not exist";
    } catch (const CAError& error) {
        EXPECT_EQ(error.description(), "マイク no_such_source を 2 チャンネル・48000 Hz で開けません: "
                                       "pa_stream_connect_record failed \u2014 OSStatus 5 (No such entity)");
    }
}
