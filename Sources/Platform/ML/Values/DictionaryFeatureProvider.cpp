#include "Platform/ML/Values/DictionaryFeatureProvider.h"

namespace ml {

void DictionaryFeatureProvider::set(const std::string& name, FeatureValue value) {
    values_.insert_or_assign(name, std::move(value));
}

std::set<std::string> DictionaryFeatureProvider::featureNames() const {
    std::set<std::string> names;
    for (const auto& entry : values_) {
        names.insert(entry.first);
    }
    return names;
}

std::optional<FeatureValue> DictionaryFeatureProvider::featureValue(const std::string& name) const {
    auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace ml
