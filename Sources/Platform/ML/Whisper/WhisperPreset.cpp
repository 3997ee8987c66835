#include "Platform/ML/Whisper/WhisperPreset.h"

namespace ml {
namespace {

WhisperPreset make(const std::string& name, int64_t mels, int64_t width, int64_t encoderLayers,
                   int64_t decoderLayers, int64_t vocabulary) {
    const int64_t heads = width / 64;
    WhisperPreset preset{name, {mels, width, encoderLayers, heads, 1500}, {}};
    preset.decoder = {vocabulary, width, decoderLayers, heads, 448, 1500, 224, {}};
    // Random weights have no trained alignment heads; take one head in each upper-half layer.
    for (int64_t layer = decoderLayers / 2; layer < decoderLayers; ++layer)
        preset.decoder.alignmentHeads.emplace_back(layer, layer % heads);
    return preset;
}

} // namespace

std::vector<std::string> WhisperPreset::names() {
    return {"tiny", "base", "small", "turbo"};
}

std::optional<WhisperPreset> WhisperPreset::named(const std::string& name) {
    if (name == "tiny")
        return make(name, 80, 384, 4, 4, 51865);
    if (name == "base")
        return make(name, 80, 512, 6, 6, 51865);
    if (name == "small")
        return make(name, 80, 768, 12, 12, 51865);
    if (name == "turbo")
        return make(name, 128, 1280, 32, 4, 51866);
    return std::nullopt;
}

} // namespace ml
