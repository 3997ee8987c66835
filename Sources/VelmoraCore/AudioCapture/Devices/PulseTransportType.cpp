#include "VelmoraCore/AudioCapture/Devices/PulseTransportType.h"

#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

} // namespace

uint32_t pulseTransportType(const audio::PulseDevice& device) {
    const std::string bus = lowercased(device.property("device.bus"));
    const std::string port = lowercased(device.activePortName);
    const std::string module = lowercased(device.moduleName + " " + device.driver);
    const std::string deviceClass = lowercased(device.property("device.class"));

    if (bus == "bluetooth") {
        return TransportType::bluetooth;
    }
    if (bus == "usb") {
        return TransportType::usb;
    }
    if (contains(port, "hdmi")) {
        return TransportType::hdmi;
    }
    if (contains(port, "displayport")) {
        return TransportType::displayPort;
    }
    if (lowercased(device.property("device.form_factor")) == "internal" ||
        ((bus == "pci" || bus == "platform") && (contains(port, "speaker") || contains(port, "internal")))) {
        return TransportType::builtIn;
    }
    if (contains(module, "combine")) {
        return TransportType::aggregate;
    }
    if (contains(module, "raop") || lowercased(device.property("device.api")) == "raop") {
        return TransportType::airPlay;
    }
    if (deviceClass == "abstract" || deviceClass == "filter") {
        return TransportType::virtualDevice;
    }
    return TransportType::unknown;
}

} // namespace velmora
