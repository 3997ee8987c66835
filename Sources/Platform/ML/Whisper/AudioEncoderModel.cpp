#include "Platform/ML/Whisper/AudioEncoderModel.h"

#include "Platform/ML/Kernels/Attention/Attention.h"
#include "Platform/ML/Kernels/Conv1d.h"
#include "Platform/ML/Kernels/Elementwise/Elementwise.h"
#include "Platform/ML/Kernels/Gemm.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Model/PredictionError.h"
#include "Platform/ML/Values/MultiArray.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
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

// One mapping carved into the window's buffers. Buffers whose lives do not overlap share room: the mel
// input with the stacked query, key and value; the first convolution's output with the MLP's hidden
// layer; a block's attention output with its normalised input.
struct AudioEncoderModel::Scratch {
    explicit Scratch(const AudioEncoderShape& shape)
        : memory({int64_t(total(shape))}, MultiArrayDataType::Float32) {
        const auto room = sizes(shape);
        x = static_cast<float*>(memory.data());
        h = x + room[0];
        qkv = h + room[1];
        mlp = qkv + room[2];
        mel = qkv;
        conv = mlp;
        attended = h;
    }

    // Floats for x, h, qkv (or the mel input) and mlp (or the first convolution's output), each rounded
    // up to whole cache lines.
    static std::array<size_t, 4> sizes(const AudioEncoderShape& shape) {
        const size_t d = size_t(shape.width), frames = size_t(shape.frames);
        const auto aligned = [](size_t floats) { return (floats + 15) / 16 * 16; };
        return {aligned(frames * d), aligned(frames * d),
                aligned(std::max(frames * 3 * d, size_t(shape.mels) * 2 * frames)),
                aligned(std::max(frames * 4 * d, 2 * frames * d))};
    }
    static size_t total(const AudioEncoderShape& shape) {
        const auto room = sizes(shape);
        return room[0] + room[1] + room[2] + room[3];
    }

    MultiArray memory;
    float *x, *h, *qkv, *mlp, *mel, *conv, *attended;
};

std::unique_ptr<AudioEncoderModel::Scratch> AudioEncoderModel::takeScratch() const {
    {
        std::lock_guard lock(scratchMutex_);
        if (idleScratch_)
            return std::move(idleScratch_);
    }
    return std::make_unique<Scratch>(shape_);
}

void AudioEncoderModel::keepScratch(std::unique_ptr<Scratch> scratch) const {
    std::lock_guard lock(scratchMutex_);
    if (!idleScratch_)
        idleScratch_ = std::move(scratch);
}

AudioEncoderModel::~AudioEncoderModel() = default;

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

    std::unique_ptr<Scratch> scratch = takeScratch();
    float *const mel = scratch->mel, *const conv = scratch->conv, *const x = scratch->x, *const h = scratch->h,
                 *const qkv = scratch->qkv, *const attended = scratch->attended, *const mlp = scratch->mlp;
    {
        StageTimer timer(profile.other);
        if (features->dataType() == MultiArrayDataType::Float16)
            halfToFloat(static_cast<const uint16_t*>(features->data()), mel, mels * melFrames);
        else if (features->dataType() == MultiArrayDataType::Float32)
            std::memcpy(mel, features->data(), mels * melFrames * sizeof(float));
        else
            std::ranges::copy(features->toFloats(), mel);
    }
    {
        StageTimer timer(profile.products);
        conv1d({mel, melFrames, 1, mels, melFrames, &conv1_.weight, conv1_.bias.data(), 1, true},
               conv);
        conv1d({conv, 1, d, d, melFrames, &conv2_.weight, conv2_.bias.data(), 2, true}, x);
    }
    const KernelTable& k = activeKernels();
    {
        StageTimer timer(profile.other);
        k.add(x, positions_.data(), frames * d);
    }
    for (const Layer& layer : layers_) {
        {
            StageTimer timer(profile.other);
            layerNorm(x, h, frames, d, layer.attentionNorm.gamma.data(),
                      layer.attentionNorm.beta.data());
        }
        {
            StageTimer timer(profile.products);
            packedLinear(h, frames, layer.qkv.weight, layer.qkv.bias.data(), qkv);
        }
        {
            StageTimer timer(profile.attention);
            AttentionArgs args{qkv,      3 * d, qkv + d, 3 * d,  qkv + 2 * d,
                               3 * d,           attended, d,     frames, frames, d / kHeadSize};
            args.precision = layer.qkv.weight.precision(); // as the products were packed
            args.road = layer.qkv.weight.road();
            attention(args);
        }
        {
            StageTimer timer(profile.products);
            packedLinear(attended, frames, layer.out.weight, layer.out.bias.data(), x, true);
        }
        {
            StageTimer timer(profile.other);
            layerNorm(x, h, frames, d, layer.mlpNorm.gamma.data(), layer.mlpNorm.beta.data());
        }
        {
            StageTimer timer(profile.products);
            packedLinear(h, frames, layer.fc1.weight, layer.fc1.bias.data(), mlp, false,
                         Epilogue::gelu);
            packedLinear(mlp, frames, layer.fc2.weight, layer.fc2.bias.data(), x, true);
        }
    }
    auto output = std::make_shared<MultiArray>(std::vector<int64_t>{1, shape_.width, 1, shape_.frames},
                                               MultiArrayDataType::Float16);
    {
        StageTimer timer(profile.other);
        layerNorm(x, x, frames, d, finalNorm_.gamma.data(), finalNorm_.beta.data());
        transposeToHalf(x, frames, d, static_cast<uint16_t*>(output->data()));
    }
    keepScratch(std::move(scratch));
    outputs.set(kOutputName, FeatureValue(output));
}

} // namespace ml
