#pragma once
// What "StripAccents" builds: compatibility composition (so "ﬁ" becomes "fi"); it removes no
// marks, and a composed "é" stays as it is.

#include "OrvaneCore/External/Tokenizers/Normalizers/UnicodeFormNormalizer.h"

namespace orvane {

class Config;

class StripAccentsNormalizer : public UnicodeFormNormalizer {
public:
    StripAccentsNormalizer() : UnicodeFormNormalizer(text::NormalizationForm::nfkc) {}
    /// Reads nothing from its configuration.
    explicit StripAccentsNormalizer(const Config&) : StripAccentsNormalizer() {}
};

} // namespace orvane
