#include "Platform/ML/Values/FeatureValue.h"

#include <stdexcept>

namespace ml {

FeatureValue::FeatureValue(std::shared_ptr<MultiArray> array) : storage_(std::move(array)) {
    if (!std::get<std::shared_ptr<MultiArray>>(storage_)) {
        throw std::invalid_argument("a feature value needs an array, not null");
    }
}

FeatureValue FeatureValue::fromInt64(int64_t value) { return FeatureValue(Storage(value)); }
FeatureValue FeatureValue::fromDouble(double value) { return FeatureValue(Storage(value)); }
FeatureValue FeatureValue::fromString(std::string value) { return FeatureValue(Storage(std::move(value))); }

FeatureType FeatureValue::type() const {
    switch (storage_.index()) {
    case 0:
        return FeatureType::MultiArray;
    case 1:
        return FeatureType::Int64;
    case 2:
        return FeatureType::Double;
    default:
        return FeatureType::String;
    }
}

const std::shared_ptr<MultiArray>& FeatureValue::multiArrayValue() const {
    static const std::shared_ptr<MultiArray> none;
    const auto* array = std::get_if<std::shared_ptr<MultiArray>>(&storage_);
    return array != nullptr ? *array : none;
}

std::optional<int64_t> FeatureValue::int64Value() const {
    const auto* value = std::get_if<int64_t>(&storage_);
    return value != nullptr ? std::optional<int64_t>(*value) : std::nullopt;
}

std::optional<double> FeatureValue::doubleValue() const {
    const auto* value = std::get_if<double>(&storage_);
    return value != nullptr ? std::optional<double>(*value) : std::nullopt;
}

std::optional<std::string> FeatureValue::stringValue() const {
    const auto* value = std::get_if<std::string>(&storage_);
    return value != nullptr ? std::optional<std::string>(*value) : std::nullopt;
}

} // namespace ml
