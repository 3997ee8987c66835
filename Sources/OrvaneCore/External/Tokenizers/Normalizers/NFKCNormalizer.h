#pragma once
// Compatibility composition.

#include "OrvaneCore/External/Tokenizers/Normalizers/UnicodeFormNormalizer.h"

namespace orvane {

class Config;

class NFKCNormalizer : public UnicodeFormNormalizer {
public:
    NFKCNormalizer() : UnicodeFormNormalizer(text::NormalizationForm::nfkc) {}
    /// Reads nothing from its configuration.
    explicit NFKCNormalizer(const Config&) : NFKCNormalizer() {}
};

} // namespace orvane
