#include "Platform/ML/Whisper/AudioEncoderModel.h"

#include "Platform/ML/Kernels/Attention/Attention.h"
#include "Platform/ML/Kernels/Conv1d.h"
#include "Platform/ML/Kernels/Elementwise/Elementwise.h"
#include "Platform/ML/Kernels/Gemm.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Model/PredictionError.h"

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>

namespace ml {
namespace {

constexpr int64_t kHeadSize = kAttentionHeadSize;

class StageTimer {
public:
    explicit StageTimer(double& total) : total_(total), start_(std::chrono::steady_clock::now()) {}
    ~StageTimer() {
        total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    double& total_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace

AudioEncoderModel::Profile& AudioEncoderModel::threadProfile() {
    thread_local Profile profile;
    return profile;
}

AudioEncoderModel::AudioEncoderModel(const ModelFolder& folder, ComputeUnits units) {
    const ModelParameters& p = folder.parameters();
    shape_ = {p.integer("n_mels"), p.integer("n_audio_state"), p.integer("n_audio_layer"),
              p.integer("n_audio_head"), p.integer("n_audio_ctx", 1500)};
    const int64_t d = shape_.width;
    if (shape_.mels < 1 || shape_.layers < 0 || shape_.frames < 1)
        throw std::invalid_argument("audio encoder needs positive n_mels and n_audio_ctx");
    requireAttentionShape(d, shape_.heads);
    folder.requireInput(kInputName, MultiArrayDataType::Float16, {1, shape_.mels, 1, 2 * shape_.frames});
    folder.requireOutput(kOutputName, MultiArrayDataType::Float16, {1, d, 1, shape_.frames});

    const SafeTensorsFile& w = folder.weights();
    const kernels::Precision precision = productPrecision(units);
    const WeightType type = recordedWeightType(p);
    auto packConv = [&](const std::string& name, int64_t channels) {
        return PackedLinearWeights{readPacked(w, {name + ".weight"}, {d, channels, 3}, precision),
                                   readFloats(w, name + ".bias", {d})};
    };
    conv1_ = packConv("encoder.conv1", shape_.mels);
    conv2_ = packConv("encoder.conv2", d);
    positions_ = readFloats(w, "encoder.embed_positions.weight", {shape_.frames, d});
    for (int64_t l = 0; l < shape_.layers; ++l) {
        const std::string prefix = "encoder.layers." + std::to_string(l);
        Layer layer;
        layer.attentionNorm = readLayerNorm(w, prefix + ".self_attn_layer_norm", d);
        const std::string attention = prefix + ".self_attn.";
        layer.qkv.weight = readPacked(
            w, {attention + "q_proj.weight", attention + "k_proj.weight", attention + "v_proj.weight"},
            {d, d}, precision, type);
        layer.qkv.bias = readFloats(w, attention + "q_proj.bias", {d});
        layer.qkv.bias.resize(size_t(2 * d), 0.0f); // the key projection has no bias
        const std::vector<float> valueBias = readFloats(w, attention + "v_proj.bias", {d});
        layer.qkv.bias.insert(layer.qkv.bias.end(), valueBias.begin(), valueBias.end());
        layer.out = readPackedLinear(w, attention + "out_proj", d, d, precision, type);
        layer.mlpNorm = readLayerNorm(w, prefix + ".final_layer_norm", d);
        layer.fc1 = readPackedLinear(w, prefix + ".fc1", 4 * d, d, precision, type);
        layer.fc2 = readPackedLinear(w, prefix + ".fc2", d, 4 * d, precision, type);
        layers_.push_back(std::move(layer));
        w.releaseReadPages();
    }
    finalNorm_ = readLayerNorm(w, "encoder.layer_norm", d);
}

void AudioEncoderModel::describe(const AudioEncoderShape& shape, ModelWriter& writer) {
    requireAttentionShape(shape.width, shape.heads);
    writer.parameters().set("n_mels", shape.mels);
    writer.parameters().set("n_audio_ctx", shape.frames);
    writer.parameters().set("n_audio_state", shape.width);
    writer.parameters().set("n_audio_head", shape.heads);
    writer.parameters().set("n_audio_layer", shape.layers);
    writer.description().inputs.push_back(FeatureDescription::multiArray(
        kInputName, MultiArrayDataType::Float16, {1, shape.mels, 1, 2 * shape.frames}));
    writer.description().outputs.push_back(FeatureDescription::multiArray(
        kOutputName, MultiArrayDataType::Float16, {1, shape.width, 1, shape.frames}));
}

ModelWriter AudioEncoderModel::writer(const AudioEncoderShape& shape, uint64_t seed, WeightType weights) {
    const int64_t d = shape.width;
    ModelWriter writer(kKind);
    describe(shape, writer);
    recordWeightType(writer.parameters(), weights);
    RandomWeightWriter random(writer, seed, weights);
    random.matrix("encoder.conv1.weight", {d, shape.mels, 3}, std::sqrt(3.0f / float(3 * shape.mels)));
    random.matrix("encoder.conv1.bias", {d}, 0.02f);
    random.matrix("encoder.conv2.weight", {d, d, 3}, std::sqrt(3.0f / float(3 * d)));
    random.matrix("encoder.conv2.bias", {d}, 0.02f);
    random.matrix("encoder.embed_positions.weight", {shape.frames, d}, 0.5f);
    for (int64_t l = 0; l < shape.layers; ++l) {
        const std::string prefix = "encoder.layers." + std::to_string(l);
        random.layerNorm(prefix + ".self_attn_layer_norm", d);
        random.attention(prefix + ".self_attn", d);
        random.layerNorm(prefix + ".final_layer_norm", d);
        random.linear(prefix + ".fc1", 4 * d, d);
        random.linear(prefix + ".fc2", d, 4 * d);
    }
    random.layerNorm("encoder.layer_norm", d);
    return writer;
}

void AudioEncoderModel::predict(const FeatureProvider& inputs, const PredictionOptions&,
                                DictionaryFeatureProvider& outputs) const {
    using namespace kernels;
    Profile& profile = threadProfile();
    const auto features = inputs.multiArray(kInputName);
    if (!features)
        throw PredictionError(std::string("missing input \"") + kInputName + "\"");
    const size_t d = size_t(shape_.width), frames = size_t(shape_.frames), melFrames = 2 * frames;
    const size_t mels = size_t(shape_.mels);

    std::vector<float> mel(mels * melFrames);
    std::vector<float> conv(melFrames * d);
    std::vector<float> x(frames * d), h(frames * d), qkv(frames * 3 * d), attended(frames * d),
        mlp(frames * 4 * d);
    {
        StageTimer timer(profile.other);
        if (features->dataType() == MultiArrayDataType::Float16)
            halfToFloat(static_cast<const uint16_t*>(features->data()), mel.data(), mel.size());
        else
            mel = features->toFloats();
    }
    {
        StageTimer timer(profile.products);
        conv1d({mel.data(), melFrames, 1, mels, melFrames, &conv1_.weight, conv1_.bias.data(), 1, true},
               conv.data());
        conv1d({conv.data(), 1, d, d, melFrames, &conv2_.weight, conv2_.bias.data(), 2, true}, x.data());
    }
    const KernelTable& k = activeKernels();
    {
        StageTimer timer(profile.other);
        k.add(x.data(), positions_.data(), x.size());
    }
    for (const Layer& layer : layers_) {
        {
            StageTimer timer(profile.other);
            layerNorm(x.data(), h.data(), frames, d, layer.attentionNorm.gamma.data(),
                      layer.attentionNorm.beta.data());
        }
        {
            StageTimer timer(profile.products);
            packedLinear(h.data(), frames, layer.qkv.weight, layer.qkv.bias.data(), qkv.data());
        }
        {
            StageTimer timer(profile.attention);
            AttentionArgs args{qkv.data(),      3 * d, qkv.data() + d, 3 * d,  qkv.data() + 2 * d,
                               3 * d,           attended.data(), d,     frames, frames, d / kHeadSize};
            args.precision = layer.qkv.weight.precision(); // as the products were packed
            args.road = layer.qkv.weight.road();
            attention(args);
        }
        {
            StageTimer timer(profile.products);
            packedLinear(attended.data(), frames, layer.out.weight, layer.out.bias.data(), x.data(), true);
        }
        {
            StageTimer timer(profile.other);
            layerNorm(x.data(), h.data(), frames, d, layer.mlpNorm.gamma.data(), layer.mlpNorm.beta.data());
        }
        {
            StageTimer timer(profile.products);
            packedLinear(h.data(), frames, layer.fc1.weight, layer.fc1.bias.data(), mlp.data(), false,
                         Epilogue::gelu);
            packedLinear(mlp.data(), frames, layer.fc2.weight, layer.fc2.bias.data(), x.data(), true);
        }
    }
    auto output = std::make_shared<MultiArray>(std::vector<int64_t>{1, shape_.width, 1, shape_.frames},
                                               MultiArrayDataType::Float16);
    {
        StageTimer timer(profile.other);
        layerNorm(x.data(), x.data(), frames, d, finalNorm_.gamma.data(), finalNorm_.beta.data());
        transposeToHalf(x.data(), frames, d, static_cast<uint16_t*>(output->data()));
    }
    outputs.set(kOutputName, FeatureValue(output));
}

} // namespace ml
