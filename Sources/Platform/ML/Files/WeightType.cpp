#include "Platform/ML/Files/WeightType.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <stdexcept>

namespace ml {

std::string weightScaleName(const std::string& weightName) {
    return weightName + "_scale";
}

const char* weightTypeName(WeightType type) {
    return type == WeightType::int8 ? "int8" : "half";
}

std::optional<WeightType> weightTypeNamed(const std::string& name) {
    if (name == "half")
        return WeightType::half;
    if (name == "int8")
        return WeightType::int8;
    return std::nullopt;
}

WeightType recordedWeightType(const ModelParameters& parameters) {
    if (!parameters.contains(kWeightTypeParameter))
        return WeightType::half;
    const std::string name = parameters.string(kWeightTypeParameter);
    const auto type = weightTypeNamed(name);
    if (!type)
        throw std::invalid_argument("unknown weight type \"" + name + "\" (known: half, int8)");
    return *type;
}

void recordWeightType(ModelParameters& parameters, WeightType type) {
    parameters.set(kWeightTypeParameter, weightTypeName(type));
}

float quantizeRow(const float* w, size_t n, int8_t* q) {
    float largest = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(w[i]))
            throw std::invalid_argument("a weight that is not finite has no 8-bit form");
        largest = std::max(largest, std::fabs(w[i]));
    }
    // Below this the scale would be subnormal and 127 / largest can overflow (0 * inf is NaN): such a row
    // counts as zero.
    if (largest < FLT_MIN * 127.0f) {
        std::fill(q, q + n, int8_t(0));
        return 0.0f;
    }
    const float scale = largest / 127.0f, inverse = 127.0f / largest;
    for (size_t i = 0; i < n; ++i)
        q[i] = int8_t(std::clamp(std::lrint(w[i] * inverse), -127L, 127L));
    return scale;
}

} // namespace ml
