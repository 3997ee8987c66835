#pragma once
// The sizes of the Whisper model family the engine knows. Variant detection yields one from a loaded
// decoder's dimensions; the tokenizer repository name and the display order of model folders derive
// from it, so the case order matters.

#include <array>
#include <string_view>

namespace sonavex {

enum class ModelVariant {
    tiny,
    tinyEn,
    base,
    baseEn,
    small,
    smallEn,
    medium,
    mediumEn,
    large,
    largev2,
    largev3,
};

/// The eleven variants in declaration order.
inline constexpr std::array<ModelVariant, 11> allModelVariants{
    ModelVariant::tiny,  ModelVariant::tinyEn,  ModelVariant::base,    ModelVariant::baseEn,
    ModelVariant::small, ModelVariant::smallEn, ModelVariant::medium,  ModelVariant::mediumEn,
    ModelVariant::large, ModelVariant::largev2, ModelVariant::largev3,
};

/// "tiny", "tiny.en", …, "large-v2", "large-v3".
std::string_view description(ModelVariant variant);

/// False exactly for the four English-only sizes.
bool isMultilingual(ModelVariant variant);

} // namespace sonavex
