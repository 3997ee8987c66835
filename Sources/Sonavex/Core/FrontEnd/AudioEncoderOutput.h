#pragma once
// A typed view of the encoder model's outputs (the stage itself reads the prediction directly).

#include "Platform/ML/FeatureProvider.h"

#include <memory>

namespace sonavex {

class AudioEncoderOutput : public ml::FeatureProvider {
public:
    explicit AudioEncoderOutput(std::shared_ptr<const ml::FeatureProvider> features);
    /// A provider holding just "encoder_output_embeds".
    explicit AudioEncoderOutput(std::shared_ptr<ml::MultiArray> encoder_output_embeds);

    const std::shared_ptr<const ml::FeatureProvider>& provider() const { return provider_; }

    std::set<std::string> featureNames() const override { return provider_->featureNames(); }
    std::optional<ml::FeatureValue> featureValue(const std::string& name) const override {
        return provider_->featureValue(name);
    }

    /// The embeddings, or null when the provider holds no such array.
    std::shared_ptr<ml::MultiArray> encoder_output_embeds() const;

private:
    std::shared_ptr<const ml::FeatureProvider> provider_;
};

} // namespace sonavex
