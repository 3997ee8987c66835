#pragma once
// The kinds of value a model's input or output can be.

#include <optional>
#include <string>
#include <string_view>

namespace ml {

enum class FeatureType {
    Invalid = 0,
    Int64 = 1,
    Double = 2,
    String = 3,
    Image = 4,
    MultiArray = 5,
    Dictionary = 6,
    Sequence = 7,
    State = 8,
};

/// "invalid", "int64", "double", "string", "image", "multiArray", "dictionary", "sequence", "state":
/// the names model descriptions use.
std::string featureTypeName(FeatureType type);
std::optional<FeatureType> featureTypeNamed(std::string_view name);

} // namespace ml
