#pragma once
// The transport types a device can report, and the label the pickers and logs show for one.

#include "VelmoraCore/AudioCapture/Devices/FourCharCode.h"

#include <cstdint>
#include <string>

namespace velmora {

struct TransportType {
    static constexpr uint32_t unknown = 0;
    static constexpr uint32_t builtIn = fourCharCode("bltn");
    static constexpr uint32_t bluetooth = fourCharCode("blue");
    static constexpr uint32_t bluetoothLE = fourCharCode("blea");
    static constexpr uint32_t usb = fourCharCode("usb ");
    static constexpr uint32_t hdmi = fourCharCode("hdmi");
    static constexpr uint32_t displayPort = fourCharCode("dprt");
    static constexpr uint32_t airPlay = fourCharCode("airp");
    static constexpr uint32_t thunderbolt = fourCharCode("thun");
    static constexpr uint32_t aggregate = fourCharCode("grup");
    static constexpr uint32_t virtualDevice = fourCharCode("virt");
};

/// "内蔵", "Bluetooth", … ; any other value "その他(<unsigned decimal>)". Never fails.
std::string transportTypeDescription(uint32_t transportType);

} // namespace velmora
