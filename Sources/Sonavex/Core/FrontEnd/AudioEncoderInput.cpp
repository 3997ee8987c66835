#include "Sonavex/Core/FrontEnd/AudioEncoderInput.h"

namespace sonavex {

AudioEncoderInput::AudioEncoderInput(std::shared_ptr<ml::MultiArray> melspectrogram_features)
    : melspectrogram_features(std::move(melspectrogram_features)) {}

std::set<std::string> AudioEncoderInput::featureNames() const {
    return {"melspectrogram_features"};
}

std::optional<ml::FeatureValue> AudioEncoderInput::featureValue(const std::string& name) const {
    if (name == "melspectrogram_features") {
        return ml::FeatureValue(melspectrogram_features);
    }
    return std::nullopt;
}

} // namespace sonavex
