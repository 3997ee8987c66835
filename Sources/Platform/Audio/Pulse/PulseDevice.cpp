#include "Platform/Audio/Pulse/PulseDevice.h"

namespace audio {

std::string PulseDevice::property(const std::string& key) const {
    auto found = properties.find(key);
    return found != properties.end() ? found->second : std::string();
}

} // namespace audio
