#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"

#include "OrvaneCore/Models/ModelUtilities.h"
#include "Sonavex/Core/FrontEnd/MelSpectrogramInput.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Core/FrontEnd/StagePrediction.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"

namespace sonavex {

std::optional<int64_t> FeatureExtractor::melCount() const {
    return orvane::ModelUtilities::getModelOutputDimension(model(), "melspectrogram_features", 1);
}

std::optional<int64_t> FeatureExtractor::windowSamples() const {
    return orvane::ModelUtilities::getModelInputDimension(model(), "audio", 0);
}

std::shared_ptr<FeatureExtractorOutputType>
FeatureExtractor::logMelSpectrogram(const std::shared_ptr<AudioProcessorOutputType>& fromAudio,
                                    std::stop_token stopToken) {
    std::shared_ptr<ml::MultiArray> audio = StageArray::arrayOf(fromAudio.get());
    if (!audio) {
        throw WhisperError::audioProcessingFailed("FeatureExtractor input must be MLMultiArray");
    }
    const std::shared_ptr<ml::Model> heldModel = model();
    if (!heldModel) {
        throw WhisperError::modelsUnavailable();
    }
    const MelSpectrogramInput input(std::move(audio));
    return StageArray::make(predictStageOutput(*heldModel, input, "melspectrogram_features",
                                               "ExtractAudioFeatures",
                                               Logging::FeatureExtractor::signposter(), stopToken));
}

} // namespace sonavex
