#include "Sonavex/Utilities/Models/CheckpointConverter.h"

#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Files/TransformerWeights.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Sonavex/Utilities/Models/CheckpointConfig.h"
#include "Sonavex/Utilities/Models/CheckpointConversionError.h"
#include "Sonavex/Utilities/Models/CheckpointJson.h"
#include "Sonavex/Utilities/Models/CheckpointWeights.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace sonavex {
namespace {

using ml::MultiArrayDataType;

constexpr const char* kPrefix = "model.";
constexpr const char* kOutputProjection = "proj_out.weight";
constexpr int64_t kHopLength = 160;

// One tensor the runtime's kinds read: its name without "model.", shape and the element type the kind
// converts it to on load (stored that way, loading converts nothing); a linear layer's weight is stored
// 8-bit instead in an 8-bit model.
struct PlannedTensor {
    std::string name;
    std::vector<int64_t> shape;
    MultiArrayDataType type;
    bool linear = false;
};

using Plan = std::vector<PlannedTensor>;

void addLayerNorm(Plan& plan, const std::string& prefix, int64_t d) {
    plan.push_back({prefix + ".weight", {d}, MultiArrayDataType::Float32});
    plan.push_back({prefix + ".bias", {d}, MultiArrayDataType::Float32});
}

void addLinear(Plan& plan, const std::string& prefix, int64_t out, int64_t in, MultiArrayDataType type,
               bool hasBias = true) {
    plan.push_back({prefix + ".weight", {out, in}, type, true});
    if (hasBias) {
        plan.push_back({prefix + ".bias", {out}, MultiArrayDataType::Float32});
    }
}

// Query, key (no bias), value and output projections of one attention block.
void addAttention(Plan& plan, const std::string& prefix, int64_t d, MultiArrayDataType queryOut,
                  MultiArrayDataType keyValue) {
    addLinear(plan, prefix + ".q_proj", d, d, queryOut);
    addLinear(plan, prefix + ".k_proj", d, d, keyValue, false);
    addLinear(plan, prefix + ".v_proj", d, d, keyValue);
    addLinear(plan, prefix + ".out_proj", d, d, queryOut);
}

// What every layer of both stacks opens with: self-attention behind its layer norm.
void addSelfAttention(Plan& plan, const std::string& layer, int64_t d, MultiArrayDataType type) {
    addLayerNorm(plan, layer + ".self_attn_layer_norm", d);
    addAttention(plan, layer + ".self_attn", d, type, type);
}

// What every layer of both stacks closes with: the feed-forward block (4 × d wide) behind its layer norm.
void addFeedForward(Plan& plan, const std::string& layer, int64_t d, MultiArrayDataType type) {
    addLayerNorm(plan, layer + ".final_layer_norm", d);
    addLinear(plan, layer + ".fc1", 4 * d, d, type);
    addLinear(plan, layer + ".fc2", d, 4 * d, type);
}

// The encoder keeps every weight as floats (its products are large matrix products).
Plan encoderPlan(const CheckpointConfig& config) {
    const int64_t d = config.dModel;
    const auto f32 = MultiArrayDataType::Float32;
    Plan plan{{"encoder.conv1.weight", {d, config.numMelBins, 3}, f32},
              {"encoder.conv1.bias", {d}, f32},
              {"encoder.conv2.weight", {d, d, 3}, f32},
              {"encoder.conv2.bias", {d}, f32},
              {"encoder.embed_positions.weight", {config.maxSourcePositions, d}, f32}};
    for (int64_t l = 0; l < config.encoderLayers; ++l) {
        const std::string prefix = "encoder.layers." + std::to_string(l);
        addSelfAttention(plan, prefix, d, f32);
        addFeedForward(plan, prefix, d, f32);
    }
    addLayerNorm(plan, "encoder.layer_norm", d);
    return plan;
}

// The decoder keeps its per-token matrices as half floats and the cross-attention keys and values,
// used once per window, as floats.
Plan decoderPlan(const CheckpointConfig& config) {
    const int64_t d = config.dModel;
    const auto f16 = MultiArrayDataType::Float16, f32 = MultiArrayDataType::Float32;
    Plan plan{{"decoder.embed_tokens.weight", {config.vocabSize, d}, f16, true},
              {"decoder.embed_positions.weight", {config.maxTargetPositions, d}, f32}};
    for (int64_t l = 0; l < config.decoderLayers; ++l) {
        const std::string prefix = "decoder.layers." + std::to_string(l);
        addSelfAttention(plan, prefix, d, f16);
        addLayerNorm(plan, prefix + ".encoder_attn_layer_norm", d);
        addAttention(plan, prefix + ".encoder_attn", d, f16, f32);
        addFeedForward(plan, prefix, d, f16);
    }
    addLayerNorm(plan, "decoder.layer_norm", d);
    return plan;
}

void checkTensor(const CheckpointWeights& weights, const PlannedTensor& planned) {
    const std::string name = kPrefix + planned.name;
    const ml::SafeTensor* tensor = weights.find(name);
    if (!tensor) {
        throw CheckpointConversionError(weights.source().string() + ": missing tensor " + name);
    }
    const std::string file = weights.fileOf(name).string();
    if (tensor->dtype != "F32" && tensor->dtype != "F16" && tensor->dtype != "BF16") {
        throw CheckpointConversionError(file + ": tensor " + name + " has element type " + tensor->dtype +
                                        ", not F32, F16 or BF16");
    }
    if (tensor->shape != planned.shape) {
        throw CheckpointConversionError(file + ": tensor " + name + " has shape " +
                                        ml::shapeDescription(tensor->shape) + ", expected " +
                                        ml::shapeDescription(planned.shape));
    }
}

void addTensors(const CheckpointWeights& weights, const Plan& plan, ml::WeightType type,
                ml::ModelWriter& writer) {
    ml::recordWeightType(writer.parameters(), type);
    for (const PlannedTensor& planned : plan) {
        if (planned.linear && type == ml::WeightType::int8) {
            ml::addWeight(writer, planned.name,
                          weights.array(kPrefix + planned.name, MultiArrayDataType::Float32), type);
        } else {
            writer.addTensor(planned.name, weights.array(kPrefix + planned.name, planned.type));
        }
    }
}

// Public checkpoints tie the output projection to the token embedding; our decoder always does.
void checkOutputProjection(const CheckpointWeights& weights) {
    const ml::SafeTensor* projection = weights.find(kOutputProjection);
    if (!projection) {
        return;
    }
    const std::string embedding = std::string(kPrefix) + "decoder.embed_tokens.weight";
    const ml::SafeTensor* tokens = weights.find(embedding);
    const bool equal = tokens && projection->shape == tokens->shape &&
                       weights.array(kOutputProjection, MultiArrayDataType::Float32) ==
                           weights.array(embedding, MultiArrayDataType::Float32);
    if (!equal) {
        throw CheckpointConversionError(weights.fileOf(kOutputProjection).string() + ": tensor " +
                                        kOutputProjection + " differs from " + embedding +
                                        "; only a decoder whose output projection is its embedding can run");
    }
}

// Every checkpoint tensor must be one the models use, or the tied output projection: anything else means
// an architecture the runtime would run wrongly.
void checkNothingLeft(const CheckpointWeights& weights, const Plan& encoder, const Plan& decoder) {
    std::set<std::string> used{kOutputProjection};
    for (const Plan* plan : {&encoder, &decoder}) {
        for (const PlannedTensor& planned : *plan) {
            used.insert(kPrefix + planned.name);
        }
    }
    for (const std::string& name : weights.names()) {
        if (!used.count(name)) {
            throw CheckpointConversionError(weights.fileOf(name).string() + ": unexpected tensor " + name +
                                            " (not part of the configured encoder or decoder)");
        }
    }
}

void checkHeads(const fs::path& configFile, const char* key, int64_t heads, int64_t width) {
    if (width != heads * ml::kAttentionHeadSize) {
        throw CheckpointConversionError(configFile.string() + ": key \"" + key + "\" is " + std::to_string(heads) +
                                        ", but d_model " + std::to_string(width) + " needs " +
                                        std::to_string(ml::kAttentionHeadSize) + " per head");
    }
}

// "alignment_heads" of generation_config.json, else every head of the upper half of the decoder's layers.
std::vector<std::pair<int64_t, int64_t>> alignmentHeads(const fs::path& checkpointFolder,
                                                        const CheckpointConfig& config) {
    const fs::path file = checkpointFolder / "generation_config.json";
    std::vector<std::pair<int64_t, int64_t>> heads;
    if (fs::exists(file)) {
        const nlohmann::json json = checkpoint::readObject(file);
        const auto found = json.find("alignment_heads");
        if (found != json.end() && !found->is_null()) {
            const auto fail = [&] {
                return CheckpointConversionError(file.string() +
                                                 ": key \"alignment_heads\" must be [layer, head] pairs of "
                                                 "the decoder's layers and heads");
            };
            if (!found->is_array() || found->empty()) {
                throw fail();
            }
            for (const nlohmann::json& pair : *found) {
                if (!pair.is_array() || pair.size() != 2) {
                    throw fail();
                }
                const int64_t layer = checkpoint::integer(pair[0], file, "alignment_heads", 0);
                const int64_t head = checkpoint::integer(pair[1], file, "alignment_heads", 0);
                if (layer >= config.decoderLayers || head >= config.decoderAttentionHeads) {
                    throw fail();
                }
                heads.emplace_back(layer, head);
            }
            return heads;
        }
    }
    for (int64_t layer = config.decoderLayers / 2; layer < config.decoderLayers; ++layer) {
        for (int64_t head = 0; head < config.decoderAttentionHeads; ++head) {
            heads.emplace_back(layer, head);
        }
    }
    return heads;
}

// The folder being built, removed unless it was renamed into place.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& target)
        : path_(target.parent_path() / ("." + target.filename().string() + ".converting-" +
                                        std::to_string(::getpid()))) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        fs::create_directories(path_);
    }
    ~StagingFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const fs::path& path() const { return path_; }

    void moveTo(const fs::path& target) {
        std::error_code error;
        fs::remove(target, error); // an empty folder the caller made; a non-empty one was refused before
        fs::rename(path_, target, error);
        if (error) {
            throw CheckpointConversionError(target.string() + ": cannot move the converted folder into place (" +
                                            error.message() + ")");
        }
        path_.clear();
    }

private:
    fs::path path_;
};

fs::path normalizedTarget(const fs::path& outputFolder) {
    fs::path target = fs::absolute(outputFolder).lexically_normal();
    if (target.filename().empty()) {
        target = target.parent_path(); // "out/" names the folder "out"
    }
    std::error_code error;
    if (fs::exists(target, error) && (!fs::is_directory(target, error) || !fs::is_empty(target, error))) {
        throw CheckpointConversionError(target.string() + ": not an empty folder; refusing to write into it");
    }
    return target;
}

} // namespace

const std::vector<std::string>& CheckpointConverter::copiedFileNames() {
    static const std::vector<std::string> names{
        "config.json",      "generation_config.json", "tokenizer.json", "tokenizer_config.json",
        "special_tokens_map.json", "added_tokens.json", "vocab.json",   "merges.txt",
        "normalizer.json"};
    return names;
}

const std::vector<std::string>& CheckpointConverter::checkpointPatterns() {
    static const std::vector<std::string> patterns = [] {
        std::vector<std::string> all = copiedFileNames();
        all.insert(all.end(), {CheckpointWeights::kSingleFileName, CheckpointWeights::kIndexFileName,
                               CheckpointWeights::kShardPattern});
        return all;
    }();
    return patterns;
}

ml::WeightType CheckpointConverter::weightTypeForVariant(const std::string& modelName) {
    static const std::regex sized(".*_[0-9]+MB");
    return std::regex_match(modelName, sized) ? ml::WeightType::int8 : ml::WeightType::half;
}

CheckpointConverter::Result CheckpointConverter::convert(const fs::path& checkpointFolder,
                                                         const fs::path& outputFolder, int64_t cacheLength,
                                                         const Progress& progress,
                                                         ml::WeightType weightType) {
    const fs::path target = normalizedTarget(outputFolder);
    if (!fs::is_directory(checkpointFolder)) {
        throw CheckpointConversionError(checkpointFolder.string() + ": missing checkpoint folder");
    }
    const fs::path configFile = checkpointFolder / "config.json";
    const CheckpointConfig config = CheckpointConfig::read(configFile);
    checkHeads(configFile, "encoder_attention_heads", config.encoderAttentionHeads, config.dModel);
    checkHeads(configFile, "decoder_attention_heads", config.decoderAttentionHeads, config.dModel);
    if (cacheLength < 1 || cacheLength > config.maxTargetPositions) {
        throw CheckpointConversionError("cache length " + std::to_string(cacheLength) +
                                        " must be between 1 and max_target_positions " +
                                        std::to_string(config.maxTargetPositions) + " of " + configFile.string());
    }
    // The tokenizer travels with the models, so the folder works without the network.
    for (const char* name : {"tokenizer.json", "tokenizer_config.json"}) {
        checkpoint::readObject(checkpointFolder / name);
    }

    ml::TextDecoderShape decoderShape;
    decoderShape.vocabulary = config.vocabSize;
    decoderShape.width = config.dModel;
    decoderShape.layers = config.decoderLayers;
    decoderShape.heads = config.decoderAttentionHeads;
    decoderShape.textContext = config.maxTargetPositions;
    decoderShape.audioFrames = config.maxSourcePositions;
    decoderShape.cacheLength = cacheLength;
    const ml::AudioEncoderShape encoderShape{config.numMelBins, config.dModel, config.encoderLayers,
                                             config.encoderAttentionHeads, config.maxSourcePositions};

    const CheckpointWeights weights = CheckpointWeights::open(checkpointFolder);
    // Every layer has tensors of its own, so layers beyond the file's tensor count cannot all be there:
    // planning one more than that finds the first missing tensor without planning billions of layers.
    CheckpointConfig planned = config;
    const auto layerLimit = static_cast<int64_t>(weights.names().size()) + 1;
    planned.encoderLayers = std::min(config.encoderLayers, layerLimit);
    planned.decoderLayers = std::min(config.decoderLayers, layerLimit);
    const Plan encoder = encoderPlan(planned), decoder = decoderPlan(planned);
    for (const Plan* plan : {&encoder, &decoder}) {
        for (const PlannedTensor& tensor : *plan) {
            checkTensor(weights, tensor);
        }
    }
    checkNothingLeft(weights, encoder, decoder);
    checkOutputProjection(weights);
    // Only now are the layers and heads known to be as many as the weights hold.
    decoderShape.alignmentHeads = alignmentHeads(checkpointFolder, config);

    StagingFolder staging(target);
    const auto announce = [&](const char* name) {
        if (progress) {
            progress(name);
        }
    };
    try {
        announce("MelSpectrogram");
        ml::MelSpectrogramModel::writer(config.numMelBins, 2 * config.maxSourcePositions * kHopLength)
            .writeCompiled(staging.path() / "MelSpectrogram.mlmodelc");
        announce("AudioEncoder");
        {
            ml::ModelWriter writer(ml::AudioEncoderModel::kKind);
            ml::AudioEncoderModel::describe(encoderShape, writer);
            addTensors(weights, encoder, weightType, writer);
            writer.writeCompiled(staging.path() / "AudioEncoder.mlmodelc");
        }
        announce("TextDecoder");
        {
            ml::ModelWriter writer(ml::TextDecoderModel::kKind);
            ml::TextDecoderModel::setParameters(decoderShape, writer);
            ml::TextDecoderModel::describe(decoderShape, writer);
            addTensors(weights, decoder, weightType, writer);
            writer.writeCompiled(staging.path() / "TextDecoder.mlmodelc");
        }
        for (const std::string& name : copiedFileNames()) {
            if (fs::exists(checkpointFolder / name)) {
                fs::copy_file(checkpointFolder / name, staging.path() / name);
            }
        }
    } catch (const fs::filesystem_error& error) {
        throw CheckpointConversionError(error.path1().string() + ": " + error.code().message());
    } catch (const CheckpointConversionError&) {
        throw;
    } catch (const std::exception& error) {
        throw CheckpointConversionError(target.string() + ": " + error.what());
    }
    staging.moveTo(target);
    return {target, config.vocabSize, config.dModel};
}

} // namespace sonavex
