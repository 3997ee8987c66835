#include "Sonavex/Utilities/Models/CheckpointConfig.h"

#include "Sonavex/Utilities/Models/CheckpointConversionError.h"
#include "Sonavex/Utilities/Models/CheckpointJson.h"

#include <nlohmann/json.hpp>

namespace sonavex {

CheckpointConfig CheckpointConfig::read(const std::filesystem::path& file) {
    const nlohmann::json json = checkpoint::readObject(file);
    const auto positive = [&](const char* key) {
        const auto found = json.find(key);
        if (found == json.end()) {
            throw CheckpointConversionError(file.string() + ": missing key \"" + key + "\"");
        }
        return checkpoint::integer(*found, file, key, 1, kMaxValue);
    };
    CheckpointConfig config;
    config.dModel = positive("d_model");
    config.encoderLayers = positive("encoder_layers");
    config.decoderLayers = positive("decoder_layers");
    config.encoderAttentionHeads = positive("encoder_attention_heads");
    config.decoderAttentionHeads = positive("decoder_attention_heads");
    config.vocabSize = positive("vocab_size");
    config.numMelBins = positive("num_mel_bins");
    config.maxSourcePositions = positive("max_source_positions");
    config.maxTargetPositions = positive("max_target_positions");
    return config;
}

} // namespace sonavex
