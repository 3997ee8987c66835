#pragma once
// The "audio_encoder" model kind: the Whisper audio encoder over one window of log-mel features.
// Input "melspectrogram_features" Float16 (Float32 accepted) [1, n_mels, 1, 2 * n_audio_ctx]; output
// "encoder_output_embeds" Float16 [1, D, 1, n_audio_ctx]. conv1d k3 -> GELU -> conv1d k3 stride 2 ->
// GELU -> + stored positions -> pre-LayerNorm blocks (self-attention, head size 64; MLP 4D with GELU)
// -> final LayerNorm. Weights are kept as floats: every product here is a large matrix product.

#include "Platform/ML/ModelFolder.h"
#include "Platform/ML/ModelKind.h"
#include "Platform/ML/ModelWriter.h"
#include "Platform/ML/TransformerWeights.h"

#include <cstdint>
#include <vector>

namespace ml {

struct AudioEncoderShape {
    int64_t mels = 80;
    int64_t width = 384;
    int64_t layers = 4;
    int64_t heads = 6;
    int64_t frames = 1500; // encoder positions; the input has twice as many mel frames
};

class AudioEncoderModel : public ModelKind {
public:
    static constexpr const char* kKind = "audio_encoder";
    static constexpr const char* kInputName = "melspectrogram_features";
    static constexpr const char* kOutputName = "encoder_output_embeds";

    explicit AudioEncoderModel(const ModelFolder& folder);

    /// A writer for an encoder of this shape with random weights (fixed seed).
    static ModelWriter writer(const AudioEncoderShape& shape, uint64_t seed);
    /// The hyper-parameters, input and output of this shape, for a writer that adds the weights itself.
    static void describe(const AudioEncoderShape& shape, ModelWriter& writer);

    void predict(const FeatureProvider& inputs, const PredictionOptions& options,
                 DictionaryFeatureProvider& outputs) const override;

    /// Time spent per stage of the last predictions on this thread (for benchmarks), in seconds.
    struct Profile {
        double products = 0, attention = 0, other = 0;
    };
    static Profile& threadProfile();

private:
    struct Layer {
        LayerNormWeights attentionNorm;
        LinearWeights qkv; // query, key and value stacked: one product per block
        LinearWeights out;
        LayerNormWeights mlpNorm;
        LinearWeights fc1;
        LinearWeights fc2;
    };

    AudioEncoderShape shape_;
    std::vector<float> conv1Weight_, conv1Bias_, conv2Weight_, conv2Bias_;
    std::vector<float> positions_;
    std::vector<Layer> layers_;
    LayerNormWeights finalNorm_;
};

} // namespace ml
