#pragma once
// One named input or output of a model: a multi-array (shared, so a provider can hand out the caller's
// array without copying it), an integer, a number or a text.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "Platform/ML/Values/FeatureType.h"
#include "Platform/ML/Values/MultiArray.h"

namespace ml {

class FeatureValue {
public:
    /// Wraps the array itself (no copy); a null pointer is rejected with std::invalid_argument.
    FeatureValue(std::shared_ptr<MultiArray> array); // NOLINT: a value is naturally made from an array
    static FeatureValue fromMultiArray(std::shared_ptr<MultiArray> array) { return FeatureValue(std::move(array)); }
    static FeatureValue fromInt64(int64_t value);
    static FeatureValue fromDouble(double value);
    static FeatureValue fromString(std::string value);

    FeatureType type() const;

    /// The array, or null when the value is of another type.
    const std::shared_ptr<MultiArray>& multiArrayValue() const;
    std::optional<int64_t> int64Value() const;
    std::optional<double> doubleValue() const;
    std::optional<std::string> stringValue() const;

private:
    using Storage = std::variant<std::shared_ptr<MultiArray>, int64_t, double, std::string>;
    explicit FeatureValue(Storage storage) : storage_(std::move(storage)) {}
    Storage storage_;
};

} // namespace ml
