#include "Platform/ML/Values/FeatureDescription.h"

namespace ml {

FeatureDescription FeatureDescription::multiArray(std::string name, MultiArrayDataType dataType,
                                                  std::vector<int64_t> shape, bool isOptional) {
    FeatureDescription description;
    description.name = std::move(name);
    description.type = FeatureType::MultiArray;
    description.isOptional = isOptional;
    description.multiArrayConstraint = MultiArrayConstraint{std::move(shape), dataType};
    return description;
}

} // namespace ml
