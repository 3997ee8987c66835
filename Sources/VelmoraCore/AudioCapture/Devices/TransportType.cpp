#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

namespace velmora {

std::string transportTypeDescription(uint32_t transportType) {
    switch (transportType) {
    case TransportType::builtIn:
        return "内蔵";
    case TransportType::bluetooth:
        return "Bluetooth";
    case TransportType::bluetoothLE:
        return "Bluetooth LE";
    case TransportType::usb:
        return "USB";
    case TransportType::hdmi:
        return "HDMI";
    case TransportType::displayPort:
        return "DisplayPort";
    case TransportType::airPlay:
        return "AirPlay";
    case TransportType::thunderbolt:
        return "Thunderbolt";
    case TransportType::aggregate:
        return "アグリゲート";
    case TransportType::virtualDevice:
        return "仮想";
    default:
        return "その他(" + std::to_string(transportType) + ")";
    }
}

} // namespace velmora
