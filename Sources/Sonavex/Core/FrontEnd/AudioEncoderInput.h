#pragma once
// The encoder model's input: the mel features as "melspectrogram_features", handed over without a copy.

#include "Platform/ML/Values/FeatureProvider.h"

#include <memory>

namespace sonavex {

class AudioEncoderInput : public ml::FeatureProvider {
public:
    explicit AudioEncoderInput(std::shared_ptr<ml::MultiArray> melspectrogram_features);

    std::shared_ptr<ml::MultiArray> melspectrogram_features;

    std::set<std::string> featureNames() const override;
    /// The array for exactly "melspectrogram_features"; nothing for any other name.
    std::optional<ml::FeatureValue> featureValue(const std::string& name) const override;
};

} // namespace sonavex
