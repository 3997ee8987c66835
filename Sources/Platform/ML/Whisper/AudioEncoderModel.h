#pragma once
// The "audio_encoder" model kind: the Whisper audio encoder over one window of log-mel features.
// Input "melspectrogram_features" Float16 (Float32 accepted) [1, n_mels, 1, 2 * n_audio_ctx]; output
// "encoder_output_embeds" Float16 [1, D, 1, n_audio_ctx]. conv1d k3 -> GELU -> conv1d k3 stride 2 ->
// GELU -> + stored positions -> pre-LayerNorm blocks (self-attention, head size 64; MLP 4D with GELU)
// -> final LayerNorm. Every product here is a large matrix product: the weights are packed at load for the
// matrix kernels, in float32 for cpuOnly and in reduced precision for the other compute units; an 8-bit
// model's linear layers stay 8-bit and are widened a slice at a time.

#include "Platform/ML/Model/ComputeUnits.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelKind.h"
#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Files/TransformerWeights.h"

#include <cstdint>
#include <memory>
#include <mutex>
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

    explicit AudioEncoderModel(const ModelFolder& folder, ComputeUnits units = ComputeUnits::cpuOnly);
    ~AudioEncoderModel() override;

    /// A writer for an encoder of this shape with random weights (fixed seed), stored as `weights` says.
    static ModelWriter writer(const AudioEncoderShape& shape, uint64_t seed,
                              WeightType weights = WeightType::half);
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
        PackedLinearWeights qkv; // query, key and value stacked: one product per block
        PackedLinearWeights out;
        LayerNormWeights mlpNorm;
        PackedLinearWeights fc1;
        PackedLinearWeights fc2;
    };

    // The activations of one window: about 70 MB at the large sizes, so they are kept for the next window
    // (no page faults, no heap left fragmented by window-sized blocks) and lie on large pages.
    struct Scratch;
    std::unique_ptr<Scratch> takeScratch() const;
    void keepScratch(std::unique_ptr<Scratch> scratch) const;

    AudioEncoderShape shape_;
    mutable std::mutex scratchMutex_;
    mutable std::unique_ptr<Scratch> idleScratch_; // one is enough: windows of a model rarely overlap
    PackedLinearWeights conv1_, conv2_; // [D, channels * 3]
    std::vector<float> positions_;
    std::vector<Layer> layers_;
    LayerNormWeights finalNorm_;
};

} // namespace ml
