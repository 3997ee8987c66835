#pragma once
// The BERT text clean-up: control characters dropped and blanks unified, CJK ideographs set apart,
// accents stripped and letters lower-cased, each step switchable.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"

namespace orvane {

class Config;

class BertNormalizer : public Normalizer {
public:
    /// Reads clean_text, handle_chinese_chars and lowercase (each true when absent) and strip_accents
    /// (the lowercase value when absent).
    explicit BertNormalizer(const Config& config);
    BertNormalizer(bool shouldCleanText, bool shouldHandleChineseChars, bool shouldStripAccents,
                   bool shouldLowercase);

    std::string normalize(const std::string& text) const override;

    bool shouldCleanText() const { return shouldCleanText_; }
    bool shouldHandleChineseChars() const { return shouldHandleChineseChars_; }
    bool shouldStripAccents() const { return shouldStripAccents_; }
    bool shouldLowercase() const { return shouldLowercase_; }

private:
    bool shouldCleanText_;
    bool shouldHandleChineseChars_;
    bool shouldStripAccents_;
    bool shouldLowercase_;
};

} // namespace orvane
