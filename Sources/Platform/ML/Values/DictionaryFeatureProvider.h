#pragma once
// The plain feature provider: a table from names to values. Models return their outputs in one.

#include <map>
#include <string>

#include "Platform/ML/Values/FeatureProvider.h"

namespace ml {

class DictionaryFeatureProvider : public FeatureProvider {
public:
    DictionaryFeatureProvider() = default;
    explicit DictionaryFeatureProvider(std::map<std::string, FeatureValue> values) : values_(std::move(values)) {}

    /// Adds or replaces a value.
    void set(const std::string& name, FeatureValue value);

    std::set<std::string> featureNames() const override;
    std::optional<FeatureValue> featureValue(const std::string& name) const override;

    const std::map<std::string, FeatureValue>& values() const { return values_; }

private:
    std::map<std::string, FeatureValue> values_;
};

} // namespace ml
