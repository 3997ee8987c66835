#include "Platform/ML/FeatureType.h"

#include <array>
#include <utility>

namespace ml {

namespace {
constexpr std::array<std::pair<FeatureType, std::string_view>, 9> kNames{{
    {FeatureType::Invalid, "invalid"},
    {FeatureType::Int64, "int64"},
    {FeatureType::Double, "double"},
    {FeatureType::String, "string"},
    {FeatureType::Image, "image"},
    {FeatureType::MultiArray, "multiArray"},
    {FeatureType::Dictionary, "dictionary"},
    {FeatureType::Sequence, "sequence"},
    {FeatureType::State, "state"},
}};
} // namespace

std::string featureTypeName(FeatureType type) {
    for (const auto& [value, name] : kNames) {
        if (value == type) {
            return std::string(name);
        }
    }
    return "invalid";
}

std::optional<FeatureType> featureTypeNamed(std::string_view name) {
    for (const auto& [value, known] : kNames) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace ml
