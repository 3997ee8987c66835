#pragma once
// A set of named feature values: a model's inputs or outputs. Stages implement it to hand their arrays
// to a model without copying.

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "Platform/ML/Values/FeatureValue.h"

namespace ml {

class FeatureProvider {
public:
    virtual ~FeatureProvider() = default;

    virtual std::set<std::string> featureNames() const = 0;

    /// The value of the feature with exactly this name, or nothing.
    virtual std::optional<FeatureValue> featureValue(const std::string& name) const = 0;

    /// Convenience: the named feature's array, or null when it is absent or not an array.
    std::shared_ptr<MultiArray> multiArray(const std::string& name) const;
};

} // namespace ml
