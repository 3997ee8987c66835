#pragma once
// The common part of the typed views of a model's outputs: it wraps the prediction's feature provider
// and answers every feature question through it; subclasses add accessors for the features they know.

#include "Platform/ML/Values/FeatureProvider.h"

#include <memory>
#include <string>

namespace sonavex {

class ModelOutputView : public ml::FeatureProvider {
public:
    explicit ModelOutputView(std::shared_ptr<const ml::FeatureProvider> features);
    /// A view of a provider holding just `array` under `name`.
    ModelOutputView(const std::string& name, std::shared_ptr<ml::MultiArray> array);

    const std::shared_ptr<const ml::FeatureProvider>& provider() const { return provider_; }

    std::set<std::string> featureNames() const override { return provider_->featureNames(); }
    std::optional<ml::FeatureValue> featureValue(const std::string& name) const override {
        return provider_->featureValue(name);
    }

private:
    std::shared_ptr<const ml::FeatureProvider> provider_;
};

} // namespace sonavex
