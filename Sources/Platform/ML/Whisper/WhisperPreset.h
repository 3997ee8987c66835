#pragma once
// The shapes of the public Whisper model sizes we build random-weight models of (test fixtures and
// benchmarks): the mel band count, the encoder and the decoder.

#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"

#include <optional>
#include <string>
#include <vector>

namespace ml {

struct WhisperPreset {
    std::string name;
    AudioEncoderShape encoder;
    TextDecoderShape decoder;

    /// "tiny", "base", "small" or "turbo"; nothing for another name.
    static std::optional<WhisperPreset> named(const std::string& name);
    static std::vector<std::string> names();
};

} // namespace ml
