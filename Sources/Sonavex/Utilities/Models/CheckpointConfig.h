#pragma once
// The dimensions of a public Whisper checkpoint, read from its "config.json" in the model hub's layout.

#include <cstdint>
#include <filesystem>

namespace sonavex {

struct CheckpointConfig {
    int64_t dModel = 0;
    int64_t encoderLayers = 0;
    int64_t decoderLayers = 0;
    int64_t encoderAttentionHeads = 0;
    int64_t decoderAttentionHeads = 0;
    int64_t vocabSize = 0;
    int64_t numMelBins = 0;
    int64_t maxSourcePositions = 0;
    int64_t maxTargetPositions = 0;

    /// Far beyond any real model, and small enough that no size computed from the dimensions overflows.
    static constexpr int64_t kMaxValue = (int64_t{1} << 31) - 1;

    /// Every key must be a positive integer up to kMaxValue; throws CheckpointConversionError naming the
    /// file and the key.
    static CheckpointConfig read(const std::filesystem::path& file);
};

} // namespace sonavex
