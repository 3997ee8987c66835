#pragma once
// Turns a public Whisper checkpoint in the model hub's layout (config.json, model.safetensors or its
// shards, tokenizer files) into an engine model folder: MelSpectrogram, AudioEncoder and TextDecoder in
// the runtime's compiled form, with the configuration and tokenizer files beside them, so the folder can
// be given as the engine's model folder and needs no network.

#include "Platform/ML/Files/WeightType.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace sonavex {

class CheckpointConverter {
public:
    static constexpr int64_t kDefaultCacheLength = 224;

    struct Result {
        std::filesystem::path folder;
        /// The decoder's vocabulary size and the encoder's width: what tells the model's size.
        int64_t logitsDim = 0;
        int64_t encoderDim = 0;
    };

    /// Receives the name of each model as its writing starts.
    using Progress = std::function<void(const std::string& modelName)>;

    /// Converts `checkpointFolder` into `outputFolder`, which must be missing or an empty folder. The
    /// folder is built beside `outputFolder` and renamed into place, so a failure leaves nothing behind.
    /// With int8 weights, every linear layer of the encoder and decoder (and the token embedding) is stored
    /// as 8-bit integers with a scale per row. Throws CheckpointConversionError naming the file and the key
    /// or tensor at fault.
    static Result convert(const std::filesystem::path& checkpointFolder,
                          const std::filesystem::path& outputFolder,
                          int64_t cacheLength = kDefaultCacheLength, const Progress& progress = {},
                          ml::WeightType weights = ml::WeightType::half);

    /// The weight type a model variant is built with: int8 for a name that carries a size ("…_632MB").
    static ml::WeightType weightTypeForVariant(const std::string& modelName);

    /// Hub file patterns of everything a conversion reads, for bringing a checkpoint into the mirror.
    static const std::vector<std::string>& checkpointPatterns();

    /// Files copied into the model folder when the checkpoint has them.
    static const std::vector<std::string>& copiedFileNames();
};

} // namespace sonavex
