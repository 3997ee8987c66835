#include "ModelGenerators.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Whisper/WhisperPreset.h"

#include <filesystem>
#include <stdexcept>

void writePreset(const ToolOptions& options) {
    const std::string name = options.text("preset");
    std::optional<ml::WhisperPreset> preset = ml::WhisperPreset::named(name);
    if (!preset)
        throw std::invalid_argument("--preset must be tiny, base, small or turbo, not \"" + name + "\"");
    // The English-only and large-v3 vocabularies share the shapes; --vocab picks one.
    preset->decoder.vocabulary = options.integer("vocab", preset->decoder.vocabulary);
    const uint64_t seed = uint64_t(options.integer("seed", 0));
    const ml::WeightType weights = weightsOption(options);
    const std::filesystem::path out = options.text("out");
    options.requireAllUsed();
    ml::MelSpectrogramModel::writer(preset->encoder.mels).writeCompiled(out / "MelSpectrogram.mlmodelc");
    ml::AudioEncoderModel::writer(preset->encoder, seed, weights)
        .writeCompiled(out / "AudioEncoder.mlmodelc");
    ml::TextDecoderModel::writer(preset->decoder, seed + 1, weights)
        .writeCompiled(out / "TextDecoder.mlmodelc");
}
