#include "OrvaneCore/Extensions/FloatExtensions.h"

#include <cmath>

namespace orvane {

float rounded(float value, int places) {
    const float scale = std::pow(10.0f, static_cast<float>(places));
    return std::round(value * scale) / scale;
}

} // namespace orvane
