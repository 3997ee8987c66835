#include "CheckpointFixture.h"

#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Files/SafeTensorsFile.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Support/TestSupport.h"

#include <cstring>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace testsupport {
namespace {

std::string bytesOf(const ml::MultiArray& array) {
    return std::string(static_cast<const char*>(array.data()), array.byteCount());
}

CheckpointTensor stored(const ml::SafeTensorsFile& file, const std::string& name, const std::string& dtype) {
    const ml::SafeTensor& tensor = file.tensor(name);
    if (dtype == "BF16") {
        const std::vector<float> values = file.array(name, ml::MultiArrayDataType::Float32).toFloats();
        std::string bytes(values.size() * 2, '\0');
        for (size_t i = 0; i < values.size(); ++i) {
            uint32_t bits;
            std::memcpy(&bits, &values[i], 4);
            const uint16_t rounded = uint16_t((bits + 0x7FFF + ((bits >> 16) & 1)) >> 16);
            std::memcpy(bytes.data() + 2 * i, &rounded, 2);
        }
        return {dtype, tensor.shape, bytes};
    }
    const auto type = dtype == "F32" ? ml::MultiArrayDataType::Float32 : ml::MultiArrayDataType::Float16;
    return {dtype, tensor.shape, bytesOf(file.array(name, type))};
}

} // namespace

CheckpointTensors checkpointTensors(const CheckpointShape& shape, const std::string& dtype) {
    TemporaryDirectory models;
    ml::AudioEncoderShape encoder{shape.mels, shape.width, shape.encoderLayers, shape.heads, shape.sourcePositions};
    ml::AudioEncoderModel::writer(encoder, 7).writeCompiled(models / "encoder");
    ml::TextDecoderShape decoder;
    decoder.vocabulary = shape.vocabulary;
    decoder.width = shape.width;
    decoder.layers = shape.decoderLayers;
    decoder.heads = shape.heads;
    decoder.textContext = shape.targetPositions;
    decoder.audioFrames = shape.sourcePositions;
    decoder.cacheLength = std::min<int64_t>(224, shape.targetPositions);
    ml::TextDecoderModel::writer(decoder, 8).writeCompiled(models / "decoder");
    CheckpointTensors tensors;
    for (const char* model : {"encoder", "decoder"}) {
        const auto file = ml::SafeTensorsFile::open(models / model / "weights.safetensors");
        for (const std::string& name : file->names()) {
            tensors["model." + name] = stored(*file, name, dtype);
        }
    }
    return tensors;
}

void writeSafeTensors(const fs::path& file, const CheckpointTensors& tensors) {
    nlohmann::json header = nlohmann::json::object();
    std::string data;
    for (const auto& [name, tensor] : tensors) {
        header[name] = {{"dtype", tensor.dtype},
                        {"shape", tensor.shape},
                        {"data_offsets", {data.size(), data.size() + tensor.bytes.size()}}};
        data += tensor.bytes;
    }
    std::string text = header.dump();
    text.append((8 - text.size() % 8) % 8, ' ');
    std::string contents(8, '\0');
    const uint64_t length = text.size();
    std::memcpy(contents.data(), &length, 8);
    writeFile(file, contents + text + data);
}

std::string checkpointConfigJson(const CheckpointShape& shape) {
    return nlohmann::json{{"d_model", shape.width},
                          {"encoder_layers", shape.encoderLayers},
                          {"decoder_layers", shape.decoderLayers},
                          {"encoder_attention_heads", shape.heads},
                          {"decoder_attention_heads", shape.heads},
                          {"vocab_size", shape.vocabulary},
                          {"num_mel_bins", shape.mels},
                          {"max_source_positions", shape.sourcePositions},
                          {"max_target_positions", shape.targetPositions},
                          {"model_type", "whisper"}}
        .dump(2);
}

void writeCheckpoint(const fs::path& folder, const CheckpointShape& shape, const std::string& dtype, int shards) {
    fs::create_directories(folder);
    writeFile(folder / "config.json", checkpointConfigJson(shape));
    for (const char* name : {"tokenizer.json", "tokenizer_config.json"}) {
        fs::copy_file(dataPath("tokenizers/whisper-multilingual") / name, folder / name);
    }
    const CheckpointTensors tensors = checkpointTensors(shape, dtype);
    if (shards <= 1) {
        writeSafeTensors(folder / "model.safetensors", tensors);
        return;
    }
    std::vector<CheckpointTensors> parts(static_cast<size_t>(shards));
    nlohmann::json weightMap = nlohmann::json::object();
    size_t i = 0;
    for (const auto& [name, tensor] : tensors) {
        const size_t shard = i++ % parts.size();
        parts[shard][name] = tensor;
        char shardName[64];
        std::snprintf(shardName, sizeof shardName, "model-%05zu-of-%05d.safetensors", shard + 1, shards);
        weightMap[name] = shardName;
    }
    for (size_t shard = 0; shard < parts.size(); ++shard) {
        char shardName[64];
        std::snprintf(shardName, sizeof shardName, "model-%05zu-of-%05d.safetensors", shard + 1, shards);
        writeSafeTensors(folder / shardName, parts[shard]);
    }
    writeFile(folder / "model.safetensors.index.json",
              nlohmann::json{{"metadata", {{"total_size", 0}}}, {"weight_map", weightMap}}.dump(2));
}

} // namespace testsupport
