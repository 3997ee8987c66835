#pragma once
// The engine's mel stage: runs the "MelSpectrogram" model. All signal processing is the model's; the
// stage reads its sizes from the loaded model's description on every call and passes arrays through
// without copying. Loading, unloading and predictions may run from different threads: the model is read
// once per call, so an unload during a prediction lets that prediction finish on its model.

#include "OrvaneCore/Concurrency/Protected.h"
#include "Sonavex/Core/FrontEnd/FeatureExtracting.h"
#include "Sonavex/Core/WhisperMLModel.h"

namespace sonavex {

class FeatureExtractor : public FeatureExtracting, public WhisperMLModel {
public:
    FeatureExtractor() = default;

    std::shared_ptr<ml::Model> model() const override { return model_.get(); }
    void setModel(std::shared_ptr<ml::Model> model) override { model_.set(std::move(model)); }

    /// Dimension 1 of the output "melspectrogram_features".
    std::optional<int64_t> melCount() const override;
    /// Dimension 0 of the input "audio".
    std::optional<int64_t> windowSamples() const override;

    /// Checks, in order: the input is a StageArray (audioProcessingFailed), a model is loaded
    /// (modelsUnavailable), no stop is requested (orvane::CancellationError); only then is the signpost
    /// interval "ExtractAudioFeatures" opened, and it is closed whether the prediction succeeds or throws
    /// (the runtime's error passes unchanged). Null when the model gives no "melspectrogram_features" array.
    std::shared_ptr<FeatureExtractorOutputType>
    logMelSpectrogram(const std::shared_ptr<AudioProcessorOutputType>& fromAudio,
                      std::stop_token stopToken = {}) override;

private:
    orvane::Protected<std::shared_ptr<ml::Model>> model_;
};

} // namespace sonavex
