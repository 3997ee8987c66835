#include "VelmoraCore/AudioCapture/Devices/PulseTransportType.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

#include <gtest/gtest.h>

using audio::PulseDevice;
using velmora::pulseTransportType;
using velmora::TransportType;

namespace {

PulseDevice device(std::map<std::string, std::string> properties, std::string port = "",
                   std::string module = "") {
    PulseDevice result;
    result.properties = std::move(properties);
    result.activePortName = std::move(port);
    result.moduleName = std::move(module);
    return result;
}

} // namespace

TEST(PulseTransportTypeTest, FirstMatchingRuleWins) {
    // The bus beats everything else the device says about itself.
    EXPECT_EQ(pulseTransportType(device({{"device.bus", "bluetooth"}, {"device.form_factor", "internal"}})),
              TransportType::bluetooth);
    EXPECT_EQ(pulseTransportType(device({{"device.bus", "usb"}}, "hdmi-output-0")), TransportType::usb);
    // The port beats the built-in form.
    EXPECT_EQ(pulseTransportType(
                  device({{"device.bus", "pci"}, {"device.form_factor", "internal"}}, "hdmi-output-1")),
              TransportType::hdmi);
    EXPECT_EQ(pulseTransportType(device({{"device.bus", "pci"}}, "DisplayPort-out")),
              TransportType::displayPort);
    EXPECT_EQ(pulseTransportType(device({{"device.form_factor", "internal"}, {"device.class", "abstract"}})),
              TransportType::builtIn);
    EXPECT_EQ(pulseTransportType(device({{"device.bus", "pci"}}, "analog-output-speaker")),
              TransportType::builtIn);
    EXPECT_EQ(pulseTransportType(device({{"device.bus", "platform"}}, "analog-input-internal-mic")),
              TransportType::builtIn);
    // A headphone port on the same card is not built-in, and nothing else matches.
    EXPECT_EQ(pulseTransportType(device({{"device.bus", "pci"}}, "analog-output-headphones")), 0u);
    // A speaker port off the machine's own buses is not built-in either.
    EXPECT_EQ(pulseTransportType(device({{"device.bus", "firewire"}}, "analog-output-speaker")), 0u);
}

TEST(PulseTransportTypeTest, ModulesAndClassesForDevicesWithoutHardware) {
    EXPECT_EQ(pulseTransportType(device({{"device.class", "abstract"}}, "", "module-combine-sink")),
              TransportType::aggregate);
    EXPECT_EQ(pulseTransportType(device({{"device.class", "abstract"}}, "", "module-raop-sink")),
              TransportType::airPlay);
    PulseDevice byDriver = device({});
    byDriver.driver = "module-raop-sink.c";
    EXPECT_EQ(pulseTransportType(byDriver), TransportType::airPlay);
    EXPECT_EQ(pulseTransportType(device({{"device.class", "filter"}})), TransportType::virtualDevice);
    EXPECT_EQ(pulseTransportType(device({{"device.class", "abstract"}}, "", "module-null-sink")),
              TransportType::virtualDevice);
    EXPECT_EQ(pulseTransportType(device({{"device.class", "sound"}})), 0u);
    EXPECT_EQ(pulseTransportType(device({})), 0u);
}
