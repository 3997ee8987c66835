#pragma once
// The "text_decoder" model kind: the Whisper text decoder, one token per prediction, over a key/value
// cache that the caller owns and passes in (the stateless cache contract of the engine's decoder).
// Inputs: "input_ids" Int32 [1], "cache_length" Int32 [1] (t, the position of this step), "key_cache" and
// "value_cache" Float16 [1, E, 1, S] (E = layers x D: layer l owns channels [l D, (l + 1) D)),
// "kv_cache_update_mask" Int32 [1, S], "encoder_output_embeds" Float16 [1, D, 1, W],
// "decoder_key_padding_mask" Float16 [1, S] (additive; -10000 hides a position).
// Outputs: "logits" Float16 [1, 1, V], "key_cache_updates" and "value_cache_updates" Float16 [1, E, 1, 1],
// and, when the model declares "alignment_heads" ([layer, head] pairs), "alignment_heads_weights"
// Float16 [1, W]: the mean cross-attention weights of those heads.
// Position t's key and value always come from this step's projection (the column at t in the caches
// may be stale); hidden positions are never read. Per-token work is bound by reading weights, so the
// matrices are kept as half floats (or 8-bit integers, for an 8-bit model); cross-attention keys and values
// are computed once per window, in a large product whose precision follows the compute units (as the
// encoder's).

#include "Platform/ML/Model/ComputeUnits.h"
#include "Platform/ML/Whisper/CrossAttentionCache.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelKind.h"
#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Files/TransformerWeights.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace ml {

struct TextDecoderShape {
    int64_t vocabulary = 51865;
    int64_t width = 384;
    int64_t layers = 4;
    int64_t heads = 6;
    int64_t textContext = 448;  // learned positions
    int64_t audioFrames = 1500; // W
    int64_t cacheLength = 224;  // S
    std::vector<std::pair<int64_t, int64_t>> alignmentHeads;
};

class TextDecoderModel : public ModelKind {
public:
    static constexpr const char* kKind = "text_decoder";

    explicit TextDecoderModel(const ModelFolder& folder, ComputeUnits units = ComputeUnits::cpuOnly);

    /// A writer for a decoder of this shape with random weights (fixed seed), stored as `weights` says.
    static ModelWriter writer(const TextDecoderShape& shape, uint64_t seed,
                              WeightType weights = WeightType::half);
    /// The seven inputs and three or four outputs of the contract, for this shape.
    static void describe(const TextDecoderShape& shape, ModelWriter& writer);
    /// The hyper-parameters of this shape (alignment heads included).
    static void setParameters(const TextDecoderShape& shape, ModelWriter& writer);

    void predict(const FeatureProvider& inputs, const PredictionOptions& options,
                 DictionaryFeatureProvider& outputs) const override;

    /// Cross-attention entries computed so far (for tests).
    size_t crossAttentionComputations() const { return crossCache_.computeCount(); }

private:
    struct Layer {
        LayerNormWeights selfNorm;
        LinearWeights selfQkv; // half weights, query/key/value stacked
        LinearWeights selfOut;
        LayerNormWeights crossNorm;
        LinearWeights crossQuery;
        PackedLinearWeights crossKey; // used once per window in a large product
        PackedLinearWeights crossValue;
        LinearWeights crossOut;
        LayerNormWeights mlpNorm;
        LinearWeights fc1;
        LinearWeights fc2; // half weights: stored transposed, [4 D, D], the MLP reads it row by row
    };

    void computeCrossAttention(const MultiArray& encoderOutput, CrossAttentionCache::Entry& entry) const;

    TextDecoderShape shape_;
    WeightType weights_ = WeightType::half;
    LinearWeights tokenEmbedding_; // [V, D]: the input embedding and the output projection
    std::vector<float> positions_;
    std::vector<Layer> layers_;
    LayerNormWeights finalNorm_;
    mutable CrossAttentionCache crossCache_;
};

} // namespace ml
