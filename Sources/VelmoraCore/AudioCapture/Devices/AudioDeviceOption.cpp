#include "VelmoraCore/AudioCapture/Devices/AudioDeviceOption.h"

#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

namespace velmora {

bool AudioDeviceOption::isBluetooth() const {
    return transportType == TransportType::bluetooth || transportType == TransportType::bluetoothLE;
}

bool AudioDeviceOption::isBuiltIn() const {
    return transportType == TransportType::builtIn;
}

} // namespace velmora

size_t
std::hash<velmora::AudioDeviceOption>::operator()(const velmora::AudioDeviceOption& option) const noexcept {
    size_t seed = std::hash<std::string>()(option.id);
    auto combine = [&](size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    combine(std::hash<std::string>()(option.name));
    combine(std::hash<uint32_t>()(option.transportType));
    return seed;
}
