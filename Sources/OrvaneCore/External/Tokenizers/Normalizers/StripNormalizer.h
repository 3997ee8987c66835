#pragma once
// Removes whitespace characters at either end of a section.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"

namespace orvane {

class Config;

class StripNormalizer : public Normalizer {
public:
    /// Reads strip_left and strip_right (each true when absent).
    explicit StripNormalizer(const Config& config);
    StripNormalizer(bool leftStrip, bool rightStrip) : leftStrip_(leftStrip), rightStrip_(rightStrip) {}

    std::string normalize(const std::string& text) const override;

    bool leftStrip() const { return leftStrip_; }
    bool rightStrip() const { return rightStrip_; }

private:
    bool leftStrip_;
    bool rightStrip_;
};

} // namespace orvane
