#pragma once
// A loaded model's interface: its inputs, outputs and states in declaration order, and free-form metadata.

#include <map>
#include <string>
#include <vector>

#include "Platform/ML/Values/FeatureDescription.h"

namespace ml {

struct ModelDescription {
    std::vector<FeatureDescription> inputs;
    std::vector<FeatureDescription> outputs;
    /// Arrays a stateful prediction keeps between calls (Model::makeState); none for most models.
    std::vector<FeatureDescription> states;
    std::map<std::string, std::string> metadata;

    /// The description of the named input (output), or null.
    const FeatureDescription* findInput(const std::string& name) const;
    const FeatureDescription* findOutput(const std::string& name) const;

    std::map<std::string, FeatureDescription> inputDescriptionsByName() const;
    std::map<std::string, FeatureDescription> outputDescriptionsByName() const;

    bool operator==(const ModelDescription&) const = default;
};

} // namespace ml
