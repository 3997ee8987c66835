#include "Sonavex/Core/FrontEnd/MelSpectrogramOutput.h"

#include "Platform/ML/DictionaryFeatureProvider.h"

namespace sonavex {

MelSpectrogramOutput::MelSpectrogramOutput(std::shared_ptr<const ml::FeatureProvider> features)
    : provider_(std::move(features)) {}

MelSpectrogramOutput::MelSpectrogramOutput(std::shared_ptr<ml::MultiArray> melspectrogram_features)
    : provider_(std::make_shared<ml::DictionaryFeatureProvider>(
          std::map<std::string, ml::FeatureValue>{{"melspectrogram_features", std::move(melspectrogram_features)}})) {}

std::shared_ptr<ml::MultiArray> MelSpectrogramOutput::melspectrogramFeatures() const {
    return provider_->multiArray("melspectrogram_features");
}

} // namespace sonavex
