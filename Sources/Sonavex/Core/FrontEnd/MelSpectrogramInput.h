#pragma once
// The mel model's input: the window's samples as the feature "audio", handed over without a copy.

#include "Platform/ML/Values/FeatureProvider.h"

#include <memory>

namespace sonavex {

class MelSpectrogramInput : public ml::FeatureProvider {
public:
    explicit MelSpectrogramInput(std::shared_ptr<ml::MultiArray> audio);

    std::shared_ptr<ml::MultiArray> audio;

    std::set<std::string> featureNames() const override;
    /// The array for exactly "audio"; nothing for any other name.
    std::optional<ml::FeatureValue> featureValue(const std::string& name) const override;
};

} // namespace sonavex
