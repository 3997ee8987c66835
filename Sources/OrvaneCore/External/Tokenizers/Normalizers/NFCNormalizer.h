#pragma once
// Canonical composition.

#include "OrvaneCore/External/Tokenizers/Normalizers/UnicodeFormNormalizer.h"

namespace orvane {

class Config;

class NFCNormalizer : public UnicodeFormNormalizer {
public:
    NFCNormalizer() : UnicodeFormNormalizer(text::NormalizationForm::nfc) {}
    /// Reads nothing from its configuration.
    explicit NFCNormalizer(const Config&) : NFCNormalizer() {}
};

} // namespace orvane
