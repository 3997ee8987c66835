#include "Sonavex/Core/FrontEnd/AudioEncoderOutput.h"

#include "Platform/ML/DictionaryFeatureProvider.h"

namespace sonavex {

AudioEncoderOutput::AudioEncoderOutput(std::shared_ptr<const ml::FeatureProvider> features)
    : provider_(std::move(features)) {}

AudioEncoderOutput::AudioEncoderOutput(std::shared_ptr<ml::MultiArray> encoder_output_embeds)
    : provider_(std::make_shared<ml::DictionaryFeatureProvider>(
          std::map<std::string, ml::FeatureValue>{{"encoder_output_embeds", std::move(encoder_output_embeds)}})) {}

std::shared_ptr<ml::MultiArray> AudioEncoderOutput::encoder_output_embeds() const {
    return provider_->multiArray("encoder_output_embeds");
}

} // namespace sonavex
