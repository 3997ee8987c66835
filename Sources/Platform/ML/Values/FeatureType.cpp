#include "Platform/ML/Values/FeatureType.h"

#include "Platform/ML/Values/EnumNames.h"

namespace ml {

namespace {
constexpr EnumNameTable<FeatureType, 9> kNames{{
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

std::string featureTypeName(FeatureType type) { return std::string(nameIn(kNames, type).value_or("invalid")); }

std::optional<FeatureType> featureTypeNamed(std::string_view name) { return valueIn(kNames, name); }

} // namespace ml
