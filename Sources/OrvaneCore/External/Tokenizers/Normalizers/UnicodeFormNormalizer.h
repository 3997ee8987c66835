#pragma once
// One of the four Unicode normalization forms (NFD, NFC, NFKD, NFKC); also what "StripAccents"
// builds, which is compatibility composition and removes no marks.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"
#include "OrvaneCore/Text/Normalization.h"

namespace orvane {

class UnicodeFormNormalizer : public Normalizer {
public:
    explicit UnicodeFormNormalizer(text::NormalizationForm form) : form_(form) {}

    std::string normalize(const std::string& text) const override;

    text::NormalizationForm form() const { return form_; }

private:
    text::NormalizationForm form_;
};

} // namespace orvane
