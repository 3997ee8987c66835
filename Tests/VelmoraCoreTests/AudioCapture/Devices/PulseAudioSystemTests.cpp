#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Devices/DeviceInfo.h"
#include "VelmoraCore/AudioCapture/Devices/Permissions.h"
#include "VelmoraCore/AudioCapture/Devices/PulseAudioSystem.h"
#include "VelmoraCore/AudioCapture/Devices/SystemProgramLauncher.h"

#include <gtest/gtest.h>
#include <memory>

using testsupport::LoadedPulseModule;
using velmora::AudioDeviceOption;
using velmora::DeviceInfo;
using velmora::PulseAudioSystem;
using velmora::TransportType;

namespace {

// The machine the issue describes: a Bluetooth headset microphone at 16 kHz and a built-in one at
// 48 kHz (pipe sources), built-in speakers and a USB headset (null sinks), beside the run's own
// test_source and test_sink.
class PulseAudioSystemTest : public testsupport::PulseServerTest {
protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        const std::string fifo = (folder / "").string();
        modules.push_back(std::make_unique<LoadedPulseModule>(
            "module-pipe-source",
            "source_name=bt_headset_mic rate=16000 channels=1 file=" + fifo + "bt.fifo " +
                R"("source_properties=\"device.description='Headset Microphone' device.bus=bluetooth\"")"));
        modules.push_back(std::make_unique<LoadedPulseModule>(
            "module-pipe-source",
            "source_name=internal_mic rate=48000 channels=2 file=" + fifo + "internal.fifo " +
                R"("source_properties=\"device.description='Built-in Microphone' device.form_factor=internal\"")"));
        modules.push_back(std::make_unique<LoadedPulseModule>(
            "module-null-sink",
            R"(sink_name=speakers "sink_properties=\"device.description='Built-in Speakers' device.form_factor=internal\"")"));
        modules.push_back(std::make_unique<LoadedPulseModule>(
            "module-null-sink",
            R"(sink_name=usb_headset rate=44100 "sink_properties=\"device.description='USB Headset' device.bus=usb\"")"));
    }

    std::string defaultSink() {
        std::string name;
        testsupport::pactl("get-default-sink", &name);
        return name.substr(0, name.find('\n'));
    }

    testsupport::TemporaryDirectory folder;
    std::vector<std::unique_ptr<LoadedPulseModule>> modules;
    PulseAudioSystem system;
};

} // namespace

TEST_F(PulseAudioSystemTest, PickersListInputsAndOutputsByNameWithoutMonitors) {
    EXPECT_EQ(velmora::inputDeviceOptions(system),
              (std::vector<AudioDeviceOption>{
                  {"internal_mic", "Built-in Microphone", TransportType::builtIn},
                  {"bt_headset_mic", "Headset Microphone", TransportType::bluetooth},
                  {"test_source", "Test-Source", 0},
              }));
    EXPECT_EQ(velmora::outputDeviceOptions(system),
              (std::vector<AudioDeviceOption>{
                  {"speakers", "Built-in Speakers", TransportType::builtIn},
                  {"test_sink", "Test-Sink", TransportType::virtualDevice},
                  {"usb_headset", "USB Headset", TransportType::usb},
              }));
    auto headset = velmora::deviceWithUID("usb_headset", system);
    ASSERT_TRUE(headset);
    EXPECT_EQ(velmora::deviceNominalSampleRate(*headset, system), 44100.0);
    EXPECT_EQ(velmora::outputChannelCount(*headset, system), 2);
    EXPECT_EQ(velmora::inputChannelCount(*headset, system), 0);
    EXPECT_EQ(velmora::deviceWithUID("usb_headset.monitor", system), std::nullopt);
    auto microphone = velmora::builtInInputDevice(system);
    ASSERT_TRUE(microphone);
    EXPECT_EQ(velmora::deviceUID(*microphone, system), "internal_mic");
    EXPECT_EQ(velmora::inputChannelCount(*microphone, system), 2);
}

TEST_F(PulseAudioSystemTest, BluetoothDefaultInputRedirectsToTheBuiltInMicrophone) {
    ASSERT_EQ(testsupport::pactl("set-default-source bt_headset_mic"), 0);
    ASSERT_EQ(testsupport::pactl("set-default-sink speakers"), 0);
    EXPECT_EQ(DeviceInfo::current(std::nullopt, system),
              (DeviceInfo{"Built-in Microphone", "Built-in Speakers", true, false, 48000.0, true}));
    EXPECT_EQ(DeviceInfo::current("bt_headset_mic", system),
              (DeviceInfo{"Headset Microphone", "Built-in Speakers", true, true, 16000.0, false}));

    ASSERT_EQ(testsupport::pactl("set-default-sink usb_headset"), 0);
    EXPECT_FALSE(DeviceInfo::current(std::nullopt, system).outputIsBuiltInSpeaker);
}

TEST_F(PulseAudioSystemTest, MonitorAsDefaultSourceMeansNoDefaultInput) {
    EXPECT_EQ(velmora::deviceUID(velmora::defaultInputDevice(system), system), "test_source");
    ASSERT_EQ(testsupport::pactl("set-default-source speakers.monitor"), 0);
    try {
        velmora::defaultInputDevice(system);
        FAIL() << "a monitor became the default input";
    } catch (const velmora::CAError& error) {
        EXPECT_EQ(error.operation(), "pa_context_get_server_info");
    }
    EXPECT_EQ(DeviceInfo::current(std::nullopt, system).inputName, "不明");
}

TEST_F(PulseAudioSystemTest, SettingTheDefaultOutputMovesTheDefaultSink) {
    auto headset = velmora::deviceWithUID("usb_headset", system);
    ASSERT_TRUE(headset);
    velmora::setDefaultOutputDevice(*headset, system);
    EXPECT_EQ(defaultSink(), "usb_headset");
    EXPECT_EQ(velmora::deviceUID(velmora::defaultOutputDevice(system), system), "usb_headset");

    // An input is not an output.
    auto microphone = velmora::deviceWithUID("internal_mic", system);
    ASSERT_TRUE(microphone);
    EXPECT_THROW(velmora::setDefaultOutputDevice(*microphone, system), velmora::CAError);
    EXPECT_EQ(defaultSink(), "usb_headset");

    // The tool does the same through the machine's own audio system.
    std::string output;
    EXPECT_EQ(testsupport::runCommand(testsupport::toolPath("velmoractl").string() + " set-output speakers",
                                      &output),
              0);
    EXPECT_EQ(defaultSink(), "speakers");
    EXPECT_EQ(testsupport::runCommand(testsupport::toolPath("velmoractl").string() + " set-output nowhere",
                                      &output),
              1);
    EXPECT_EQ(output, "{\"error\":\"inputError\",\"message\":\"no audio device has the UID nowhere\"}\n");
}

TEST_F(PulseAudioSystemTest, DevicesThatVanishFailWithTheCallsName) {
    auto headset = velmora::deviceWithUID("usb_headset", system);
    ASSERT_TRUE(headset);
    modules.pop_back();
    try {
        velmora::deviceName(*headset, system);
        FAIL() << "read a device that is gone";
    } catch (const velmora::CAError& error) {
        EXPECT_EQ(error.description(), "pa_context_get_sink_info_by_index failed \u2014 OSStatus 5");
    }
    EXPECT_EQ(velmora::deviceWithUID("usb_headset", system), std::nullopt);
}

TEST_F(PulseAudioSystemTest, PermissionsComeFromWhatTheServerAnswers) {
    velmora::SystemProgramLauncher launcher;
    velmora::Permissions permissions(system, launcher, folder / "permission.log");
    EXPECT_EQ(permissions.microphoneStatus(), velmora::PermissionStatus::granted);
    EXPECT_EQ(permissions.screenRecordingStatus(), velmora::PermissionStatus::granted);
    EXPECT_TRUE(permissions.requestMicrophoneAccess());
}
