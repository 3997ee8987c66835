#pragma once
// Writes a small Whisper checkpoint in the model hub's layout, as a public one comes: config.json,
// random weights under "model.encoder.*" / "model.decoder.*" (one file or shards, F32, F16 or BF16)
// and a real multilingual tokenizer.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct CheckpointShape {
    int64_t width = 64;
    int64_t heads = 1;
    int64_t encoderLayers = 1;
    int64_t decoderLayers = 2;
    int64_t vocabulary = 51865;
    int64_t mels = 80;
    int64_t sourcePositions = 8;
    int64_t targetPositions = 448;
};

/// A tensor as stored in a checkpoint file.
struct CheckpointTensor {
    std::string dtype; // "F32", "F16", "BF16", "I8"
    std::vector<int64_t> shape;
    std::string bytes;
};

using CheckpointTensors = std::map<std::string, CheckpointTensor>;

/// Random weights of the shape under the checkpoint's names, stored as `dtype`.
CheckpointTensors checkpointTensors(const CheckpointShape& shape, const std::string& dtype = "F16");

/// A safetensors file of these tensors.
void writeSafeTensors(const std::filesystem::path& file, const CheckpointTensors& tensors);

/// config.json of the shape.
std::string checkpointConfigJson(const CheckpointShape& shape);

/// The whole checkpoint folder; `shards` > 1 splits the weights and writes the index.
void writeCheckpoint(const std::filesystem::path& folder, const CheckpointShape& shape,
                     const std::string& dtype = "F16", int shards = 1);

} // namespace testsupport
