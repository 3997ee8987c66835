#pragma once
// Full Unicode lower-case mapping, the same in every locale.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"

namespace orvane {

class Config;

class LowercaseNormalizer : public Normalizer {
public:
    LowercaseNormalizer() = default;
    /// Reads nothing from its configuration.
    explicit LowercaseNormalizer(const Config&) {}

    std::string normalize(const std::string& text) const override;
};

} // namespace orvane
