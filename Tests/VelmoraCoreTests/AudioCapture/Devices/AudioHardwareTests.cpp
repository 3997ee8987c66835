#include "FakeAudioSystem.h"
#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"

#include <gtest/gtest.h>

using testsupport::FakeAudioDevice;
using testsupport::FakeAudioSystem;
using velmora::AudioDeviceOption;
using velmora::TransportType;

namespace {

FakeAudioDevice input(velmora::AudioDeviceID id, std::string uid, std::string name,
                      uint32_t transport = TransportType::usb) {
    return FakeAudioDevice{id, uid, name, 48000.0, transport, 1, 0};
}

FakeAudioDevice output(velmora::AudioDeviceID id, std::string uid, std::string name,
                       uint32_t transport = TransportType::usb) {
    return FakeAudioDevice{id, uid, name, 48000.0, transport, 0, 2};
}

std::vector<std::string> names(const std::vector<AudioDeviceOption>& options) {
    std::vector<std::string> result;
    for (const auto& option : options) {
        result.push_back(option.name);
    }
    return result;
}

} // namespace

TEST(AudioHardwareTest, NoDevicesOrNoListMeansNothingAnywhere) {
    FakeAudioSystem system;
    EXPECT_TRUE(velmora::inputDeviceOptions(system).empty());
    EXPECT_TRUE(velmora::outputDeviceOptions(system).empty());
    EXPECT_EQ(velmora::builtInInputDevice(system), std::nullopt);
    EXPECT_EQ(velmora::deviceWithUID("", system), std::nullopt);

    system.devices = {input(1, "mic", "Mic", TransportType::builtIn)};
    system.deviceListFails = true;
    EXPECT_TRUE(velmora::inputDeviceOptions(system).empty());
    EXPECT_EQ(velmora::builtInInputDevice(system), std::nullopt);
    EXPECT_EQ(velmora::deviceWithUID("mic", system), std::nullopt);
    EXPECT_THROW(velmora::allAudioDevices(system), velmora::CAError);
}

TEST(AudioHardwareTest, OptionListsKeepTheFirstOfEachUIDAndSkipWhatCannotBeRead) {
    FakeAudioSystem system;
    FakeAudioDevice nameless = input(3, "nameless", "");
    nameless.name.reset();
    FakeAudioDevice uidless = input(4, "", "No UID");
    uidless.uid.reset();
    FakeAudioDevice noTransport = input(5, "plain", "Plain");
    noTransport.transportType.reset();
    FakeAudioDevice both{6, "duplex", "Duplex", 48000.0, TransportType::aggregate, 2, 2};
    system.devices = {input(1, "same", "First"),
                      input(2, "same", "Second"),
                      nameless,
                      uidless,
                      noTransport,
                      output(7, "speaker", "Speaker"),
                      both};

    auto inputs = velmora::inputDeviceOptions(system);
    EXPECT_EQ(names(inputs), (std::vector<std::string>{"Duplex", "First", "Plain"}));
    EXPECT_EQ(inputs[1], (AudioDeviceOption{"same", "First", TransportType::usb}));
    EXPECT_EQ(inputs[2].transportType, 0u);
    EXPECT_EQ(names(velmora::outputDeviceOptions(system)), (std::vector<std::string>{"Duplex", "Speaker"}));

    // The lookup sees every device with a readable UID, whatever its channels.
    EXPECT_EQ(velmora::deviceWithUID("same", system), 1u);
    EXPECT_EQ(velmora::deviceWithUID("speaker", system), 7u);
    EXPECT_EQ(velmora::deviceWithUID("", system), std::nullopt);
    system.devices.push_back(input(8, "", "Empty UID"));
    EXPECT_EQ(velmora::deviceWithUID("", system), 8u);
}

TEST(AudioHardwareTest, OptionsSortByCodePointsAfterNormalisation) {
    FakeAudioSystem system;
    // "é" decomposed sorts as the precomposed letter (U+00E9), after every ASCII letter.
    system.devices = {input(1, "a", "airpods"),    input(2, "b", "マイク"), input(3, "c", "Zoom"),
                      input(4, "d", "e\u0301cho"), input(5, "e", "zeta"),   input(6, "f", "airpods")};
    auto options = velmora::inputDeviceOptions(system);
    EXPECT_EQ(names(options),
              (std::vector<std::string>{"Zoom", "airpods", "airpods", "zeta", "e\u0301cho", "マイク"}));
    // Equal names keep the system's order.
    EXPECT_EQ(options[1].id, "a");
    EXPECT_EQ(options[2].id, "f");
    // UIDs compare canonically too.
    system.devices = {input(9, "e\u0301", "x")};
    EXPECT_EQ(velmora::deviceWithUID("\u00e9", system), 9u);
}

TEST(AudioHardwareTest, BuiltInInputIsTheFirstBuiltInDeviceWithInputChannels) {
    FakeAudioSystem system;
    FakeAudioDevice unreadable = input(1, "odd", "Odd", TransportType::builtIn);
    unreadable.transportType.reset();
    system.devices = {unreadable, output(2, "speakers", "Speakers", TransportType::builtIn),
                      input(3, "usb", "USB Mic"),
                      input(4, "internal", "Internal Mic", TransportType::builtIn),
                      input(5, "internal2", "Second Internal", TransportType::builtIn)};
    EXPECT_EQ(velmora::builtInInputDevice(system), 4u);
}

TEST(AudioDeviceOptionTest, DerivedFlagsAndHashing) {
    AudioDeviceOption headset{"h", "Headset", TransportType::bluetoothLE};
    EXPECT_TRUE(headset.isBluetooth());
    EXPECT_FALSE(headset.isBuiltIn());
    EXPECT_TRUE((AudioDeviceOption{"m", "Mic", TransportType::builtIn}).isBuiltIn());
    AudioDeviceOption renamed = headset;
    renamed.name = "Other";
    EXPECT_NE(headset, renamed);
    EXPECT_EQ(std::hash<AudioDeviceOption>()(headset),
              std::hash<AudioDeviceOption>()(AudioDeviceOption(headset)));
}
