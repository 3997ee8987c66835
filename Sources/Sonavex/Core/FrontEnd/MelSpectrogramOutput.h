#pragma once
// A typed view of the mel model's outputs (the stage itself reads the prediction directly).

#include "Platform/ML/FeatureProvider.h"

#include <memory>

namespace sonavex {

class MelSpectrogramOutput : public ml::FeatureProvider {
public:
    explicit MelSpectrogramOutput(std::shared_ptr<const ml::FeatureProvider> features);
    /// A provider holding just "melspectrogram_features".
    explicit MelSpectrogramOutput(std::shared_ptr<ml::MultiArray> melspectrogram_features);

    const std::shared_ptr<const ml::FeatureProvider>& provider() const { return provider_; }

    std::set<std::string> featureNames() const override { return provider_->featureNames(); }
    std::optional<ml::FeatureValue> featureValue(const std::string& name) const override {
        return provider_->featureValue(name);
    }

    /// The features, or null when the provider holds no such array.
    std::shared_ptr<ml::MultiArray> melspectrogramFeatures() const;

private:
    std::shared_ptr<const ml::FeatureProvider> provider_;
};

} // namespace sonavex
