#include "Sonavex/Core/FrontEnd/MelSpectrogramInput.h"

namespace sonavex {

MelSpectrogramInput::MelSpectrogramInput(std::shared_ptr<ml::MultiArray> audio) : audio(std::move(audio)) {}

std::set<std::string> MelSpectrogramInput::featureNames() const {
    return {"audio"};
}

std::optional<ml::FeatureValue> MelSpectrogramInput::featureValue(const std::string& name) const {
    if (name == "audio") {
        return ml::FeatureValue(audio);
    }
    return std::nullopt;
}

} // namespace sonavex
