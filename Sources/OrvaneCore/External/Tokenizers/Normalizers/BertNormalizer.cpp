#include "OrvaneCore/External/Tokenizers/Normalizers/BertNormalizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Strings/CjkSpacing.h"
#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"
#include "OrvaneCore/Text/CaseMapping.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Normalization.h"

namespace orvane {
namespace {

// Each character is judged by its first code point: tab and line breaks become one blank (so CR LF
// becomes one), invisible and unassigned characters and U+FFFD go.
std::string cleanText(const std::string& input) {
    std::string out;
    out.reserve(input.size());
    for (std::string_view character : characters(input)) {
        std::size_t offset = 0;
        const char32_t first = text::nextCodePoint(character, offset);
        if (first == U'\t' || first == U'\n' || first == U'\r') {
            out += ' ';
            continue;
        }
        using text::GeneralCategory;
        const GeneralCategory category = text::generalCategory(first);
        if (first == 0 || first == 0xFFFD || category == GeneralCategory::Cc || category == GeneralCategory::Cf ||
            category == GeneralCategory::Cs || category == GeneralCategory::Co || category == GeneralCategory::Cn) {
            continue;
        }
        out += character;
    }
    return out;
}

// Canonical decomposition without the combining diacritical marks block.
std::string stripAccents(const std::string& input) {
    std::string out;
    text::forEachCodePoint(text::normalize(input, text::NormalizationForm::nfd), [&](char32_t c) {
        if (c < 0x300 || c > 0x36F) {
            text::appendUtf8(out, c);
        }
    });
    return out;
}

} // namespace

BertNormalizer::BertNormalizer(const Config& config)
    : shouldCleanText_(config["cleanText"].boolean().value_or(true)),
      shouldHandleChineseChars_(config["handleChineseChars"].boolean().value_or(true)),
      shouldStripAccents_(false), shouldLowercase_(config["lowercase"].boolean().value_or(true)) {
    shouldStripAccents_ = config["stripAccents"].boolean().value_or(shouldLowercase_);
}

BertNormalizer::BertNormalizer(bool shouldCleanText, bool shouldHandleChineseChars, bool shouldStripAccents,
                               bool shouldLowercase)
    : shouldCleanText_(shouldCleanText), shouldHandleChineseChars_(shouldHandleChineseChars),
      shouldStripAccents_(shouldStripAccents), shouldLowercase_(shouldLowercase) {}

std::string BertNormalizer::normalize(const std::string& input) const {
    std::string result = shouldCleanText_ ? cleanText(input) : input;
    if (shouldHandleChineseChars_) {
        result = spacingCjkIdeographs(result);
    }
    if (shouldStripAccents_) {
        result = stripAccents(result);
    }
    if (shouldLowercase_) {
        result = text::lowercased(result);
    }
    return result;
}

} // namespace orvane
