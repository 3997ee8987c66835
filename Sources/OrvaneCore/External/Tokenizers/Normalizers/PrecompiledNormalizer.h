#pragma once
// What SentencePiece-style "Precompiled" normalizers amount to here: control characters dropped,
// invisible separators and line breaks turned into blanks, then compatibility composition that
// keeps the fullwidth tilde. The configuration's own character map is not read.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"

namespace orvane {

class Config;

class PrecompiledNormalizer : public Normalizer {
public:
    PrecompiledNormalizer() = default;
    /// Reads nothing from its configuration.
    explicit PrecompiledNormalizer(const Config&) {}

    std::string normalize(const std::string& text) const override;
};

} // namespace orvane
