#include "Sonavex/Core/FrontEnd/AudioEncoder.h"

#include "OrvaneCore/Models/ModelUtilities.h"
#include "Sonavex/Core/FrontEnd/AudioEncoderInput.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Core/FrontEnd/StagePrediction.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"

namespace sonavex {

std::optional<int64_t> AudioEncoder::embedSize() const {
    return orvane::ModelUtilities::getModelOutputDimension(model(), "encoder_output_embeds", 1);
}

std::optional<int64_t> AudioEncoder::sequenceLength() const {
    return orvane::ModelUtilities::getModelOutputDimension(model(), "encoder_output_embeds", 3);
}

std::shared_ptr<AudioEncoderOutputType>
AudioEncoder::encodeFeatures(const std::shared_ptr<FeatureExtractorOutputType>& features,
                             std::stop_token stopToken) {
    std::shared_ptr<ml::MultiArray> array = StageArray::arrayOf(features.get());
    if (!array) {
        throw WhisperError::audioProcessingFailed("AudioEncoder input must be MLMultiArray");
    }
    // The stage's own array form, whatever a subclass does with it.
    return StageArray::make(AudioEncoder::encodeFeatures(array, std::move(stopToken)));
}

std::shared_ptr<ml::MultiArray> AudioEncoder::encodeFeatures(const std::shared_ptr<ml::MultiArray>& features,
                                                             std::stop_token stopToken) {
    const std::shared_ptr<ml::Model> heldModel = model();
    if (!heldModel) {
        throw WhisperError::modelsUnavailable();
    }
    const AudioEncoderInput input(features);
    return predictStageOutput(*heldModel, input, "encoder_output_embeds", "EncodeAudio",
                              Logging::AudioEncoding::signposter(), stopToken);
}

} // namespace sonavex
