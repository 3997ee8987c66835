#include "Platform/ML/Values/FeatureProvider.h"

namespace ml {

std::shared_ptr<MultiArray> FeatureProvider::multiArray(const std::string& name) const {
    std::optional<FeatureValue> value = featureValue(name);
    return value ? value->multiArrayValue() : nullptr;
}

} // namespace ml
