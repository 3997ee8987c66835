#pragma once
// What a model says about one of its inputs or outputs: name, type and, for arrays, element type and shape.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ML/Values/FeatureType.h"
#include "Platform/ML/Values/MultiArrayDataType.h"

namespace ml {

struct MultiArrayConstraint {
    std::vector<int64_t> shape;
    MultiArrayDataType dataType = MultiArrayDataType::Float32;

    bool operator==(const MultiArrayConstraint&) const = default;
};

struct FeatureDescription {
    std::string name;
    FeatureType type = FeatureType::MultiArray;
    bool isOptional = false;
    /// Present for multi-array features.
    std::optional<MultiArrayConstraint> multiArrayConstraint;

    /// A multi-array feature of the given element type and shape.
    static FeatureDescription multiArray(std::string name, MultiArrayDataType dataType, std::vector<int64_t> shape,
                                         bool isOptional = false);

    bool operator==(const FeatureDescription&) const = default;
};

} // namespace ml
