#pragma once
// Compatibility decomposition.

#include "OrvaneCore/External/Tokenizers/Normalizers/UnicodeFormNormalizer.h"

namespace orvane {

class Config;

class NFKDNormalizer : public UnicodeFormNormalizer {
public:
    NFKDNormalizer() : UnicodeFormNormalizer(text::NormalizationForm::nfkd) {}
    /// Reads nothing from its configuration.
    explicit NFKDNormalizer(const Config&) : NFKDNormalizer() {}
};

} // namespace orvane
