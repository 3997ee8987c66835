#pragma once
// The engine's encoder stage: runs the "AudioEncoder" model on mel features. Sizes come from the loaded
// model's description on every call; arrays pass through without copying; the model is read once per
// call, so an unload during an encoding lets that encoding finish on its model.

#include "OrvaneCore/Concurrency/Protected.h"
#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/FrontEnd/AudioEncoding.h"
#include "Sonavex/Core/WhisperMLModel.h"

namespace sonavex {

class AudioEncoder : public AudioEncoding, public WhisperMLModel {
public:
    AudioEncoder() = default;

    std::shared_ptr<ml::Model> model() const override { return model_.get(); }
    void setModel(std::shared_ptr<ml::Model> model) override { model_.set(std::move(model)); }

    /// Dimension 1 of the output "encoder_output_embeds".
    std::optional<int64_t> embedSize() const override;
    /// Dimension 3 of the output "encoder_output_embeds": encoded frames per window.
    virtual std::optional<int64_t> sequenceLength() const;

    /// The features must be a StageArray (audioProcessingFailed, before the model is looked at); then as
    /// the array form.
    std::shared_ptr<AudioEncoderOutputType>
    encodeFeatures(const std::shared_ptr<FeatureExtractorOutputType>& features,
                   std::stop_token stopToken = {}) override;
    /// Checks, in order: a model is loaded (modelsUnavailable), no stop is requested
    /// (orvane::CancellationError); only then is the signpost interval "EncodeAudio" opened, and it is
    /// closed whether the prediction succeeds or throws (the runtime's error passes unchanged). Null when
    /// the model gives no "encoder_output_embeds" array.
    virtual std::shared_ptr<ml::MultiArray> encodeFeatures(const std::shared_ptr<ml::MultiArray>& features,
                                                           std::stop_token stopToken = {});

private:
    orvane::Protected<std::shared_ptr<ml::Model>> model_;
};

} // namespace sonavex
