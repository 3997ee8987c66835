#include "Platform/ML/Model/ModelDescription.h"

namespace ml {

namespace {
const FeatureDescription* find(const std::vector<FeatureDescription>& features, const std::string& name) {
    for (const auto& feature : features) {
        if (feature.name == name) {
            return &feature;
        }
    }
    return nullptr;
}

std::map<std::string, FeatureDescription> byName(const std::vector<FeatureDescription>& features) {
    std::map<std::string, FeatureDescription> table;
    for (const auto& feature : features) {
        table.emplace(feature.name, feature);
    }
    return table;
}
} // namespace

const FeatureDescription* ModelDescription::findInput(const std::string& name) const { return find(inputs, name); }
const FeatureDescription* ModelDescription::findOutput(const std::string& name) const { return find(outputs, name); }
std::map<std::string, FeatureDescription> ModelDescription::inputDescriptionsByName() const { return byName(inputs); }
std::map<std::string, FeatureDescription> ModelDescription::outputDescriptionsByName() const {
    return byName(outputs);
}

} // namespace ml
