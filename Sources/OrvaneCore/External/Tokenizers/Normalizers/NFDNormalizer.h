#pragma once
// Canonical decomposition.

#include "OrvaneCore/External/Tokenizers/Normalizers/UnicodeFormNormalizer.h"

namespace orvane {

class Config;

class NFDNormalizer : public UnicodeFormNormalizer {
public:
    NFDNormalizer() : UnicodeFormNormalizer(text::NormalizationForm::nfd) {}
    /// Reads nothing from its configuration.
    explicit NFDNormalizer(const Config&) : NFDNormalizer() {}
};

} // namespace orvane
