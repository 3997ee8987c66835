#include "FakeAudioSystem.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/AudioCapture/Devices/DeviceInfo.h"
#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

#include <gtest/gtest.h>

using testsupport::FakeAudioDevice;
using testsupport::FakeAudioSystem;
using velmora::DeviceInfo;
using velmora::DiskSpace;
using velmora::TransportType;

namespace {

class DeviceInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        system.devices = {
            FakeAudioDevice{1, "bt", "AirPods", 16000.0, TransportType::bluetooth, 1, 2},
            FakeAudioDevice{2, "internal", "MacBook Microphone", 48000.0, TransportType::builtIn, 1, 0},
            FakeAudioDevice{3, "speakers", "MacBook Speakers", 48000.0, TransportType::builtIn, 0, 2},
            FakeAudioDevice{4, "usb", "USB Mic", 44100.0, TransportType::usb, 1, 0},
        };
        system.defaultInput = 1;
        system.defaultOutput = 3;
    }

    FakeAudioSystem system;
};

} // namespace

TEST_F(DeviceInfoTest, BluetoothDefaultInputIsReplacedByTheBuiltInMicrophone) {
    DeviceInfo info = DeviceInfo::current(std::nullopt, system);
    EXPECT_EQ(info, (DeviceInfo{"MacBook Microphone", "MacBook Speakers", true, false, 48000.0, true}));

    // A preferred UID that names the headset wins, and its 16 kHz is low.
    info = DeviceInfo::current("bt", system);
    EXPECT_EQ(info, (DeviceInfo{"AirPods", "MacBook Speakers", true, true, 16000.0, false}));

    // An unknown preferred UID falls back to the rule, redirect included.
    EXPECT_TRUE(DeviceInfo::current("gone", system).inputWasRedirectedFromBluetooth);

    // Without a built-in microphone the Bluetooth default stays, unflagged.
    system.devices.erase(system.devices.begin() + 1);
    info = DeviceInfo::current(std::nullopt, system);
    EXPECT_EQ(info.inputName, "AirPods");
    EXPECT_FALSE(info.inputWasRedirectedFromBluetooth);
}

TEST_F(DeviceInfoTest, PreferredDeviceAndPlainDefaultAreUsedAsTheyAre) {
    system.defaultInput = 4;
    system.defaultOutput = 1;
    DeviceInfo info = DeviceInfo::current(std::nullopt, system);
    EXPECT_EQ(info, (DeviceInfo{"USB Mic", "AirPods", false, false, 44100.0, false}));
    EXPECT_EQ(DeviceInfo::current("internal", system).inputName, "MacBook Microphone");

    // A Bluetooth transport that cannot be read counts as not Bluetooth.
    system.defaultInput = 1;
    system.devices[0].transportType.reset();
    EXPECT_EQ(DeviceInfo::current(std::nullopt, system).inputName, "AirPods");
}

TEST_F(DeviceInfoTest, MissingAndUnreadableDevicesGiveNeutralAnswers) {
    system.defaultInput.reset();
    system.defaultOutput.reset();
    EXPECT_EQ(DeviceInfo::current(std::nullopt, system),
              (DeviceInfo{"不明", "不明", false, false, 0.0, false}));

    system.defaultInput = 4;
    system.defaultOutput = 3;
    system.devices[3].name.reset();
    system.devices[3].sampleRate.reset();
    system.devices[2].name.reset();
    system.devices[2].transportType.reset();
    EXPECT_EQ(DeviceInfo::current(std::nullopt, system),
              (DeviceInfo{"不明", "不明", false, false, 0.0, false}));
}

TEST_F(DeviceInfoTest, LowRateIsStrictlyBelow24000) {
    system.defaultInput = 4;
    for (auto [rate, low] : {std::pair{24000.0, false}, {23999.0, true}, {0.0, false}, {8000.0, true}}) {
        system.devices[3].sampleRate = rate;
        EXPECT_EQ(DeviceInfo::current(std::nullopt, system).inputSampleRateIsLow, low) << rate;
    }
}

TEST(DiskSpaceTest, ThresholdIsTenDecimalGigabytesAndUnknownNeverBlocks) {
    EXPECT_TRUE(DiskSpace::isBelowWarningThreshold(std::optional<int64_t>(9'999'999'999)));
    EXPECT_FALSE(DiskSpace::isBelowWarningThreshold(std::optional<int64_t>(10'000'000'000)));
    EXPECT_FALSE(DiskSpace::isBelowWarningThreshold(std::optional<int64_t>()));

    testsupport::TemporaryDirectory folder;
    auto available = DiskSpace::availableBytes(folder.path());
    ASSERT_TRUE(available);
    EXPECT_GE(*available, 0);
    EXPECT_EQ(DiskSpace::availableBytes(folder / "missing" / "deeper"), std::nullopt);
    EXPECT_FALSE(DiskSpace::isBelowWarningThreshold(folder / "missing"));
}
