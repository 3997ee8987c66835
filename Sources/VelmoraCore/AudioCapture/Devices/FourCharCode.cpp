#include "VelmoraCore/AudioCapture/Devices/FourCharCode.h"

namespace velmora {

std::optional<uint32_t> fourCharCode(std::string_view text) {
    if (text.size() != 4) {
        return std::nullopt;
    }
    uint32_t code = 0;
    for (char c : text) {
        code = (code << 8) | uint8_t(c);
    }
    return code;
}

} // namespace velmora
