#pragma once
// The decoder model's outputs under their feature names: logits, the step's key and value updates and,
// for models with word-timestamp support, the alignment heads' weights.

#include "Platform/ML/FeatureProvider.h"

#include <memory>

namespace sonavex {

class TextDecoderOutput : public ml::FeatureProvider {
public:
    /// A provider of exactly "logits", "key_cache_updates" and "value_cache_updates" (none may be null);
    /// `logitsArgmax`, the index of the largest logit, is accepted and not kept.
    /// A view of a prediction's outputs.
    explicit TextDecoderOutput(std::shared_ptr<const ml::FeatureProvider> features);
    TextDecoderOutput(std::shared_ptr<ml::MultiArray> logits, std::shared_ptr<ml::MultiArray> key_cache_updates,
                      std::shared_ptr<ml::MultiArray> value_cache_updates, std::shared_ptr<ml::MultiArray> logitsArgmax);

    const std::shared_ptr<const ml::FeatureProvider>& provider() const { return provider_; }

    std::set<std::string> featureNames() const override { return provider_->featureNames(); }
    std::optional<ml::FeatureValue> featureValue(const std::string& name) const override {
        return provider_->featureValue(name);
    }

    /// The three required outputs; std::runtime_error naming the feature when the provider lacks it.
    std::shared_ptr<ml::MultiArray> logits() const;
    std::shared_ptr<ml::MultiArray> key_cache_updates() const;
    std::shared_ptr<ml::MultiArray> value_cache_updates() const;
    /// Null for a model without word-timestamp support.
    std::shared_ptr<ml::MultiArray> alignment_heads_weights() const;

private:
    std::shared_ptr<ml::MultiArray> required(const std::string& name) const;

    std::shared_ptr<const ml::FeatureProvider> provider_;
};

} // namespace sonavex
