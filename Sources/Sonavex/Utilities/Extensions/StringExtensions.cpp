#include "Sonavex/Utilities/Extensions/StringExtensions.h"

#include "OrvaneCore/Text/CaseMapping.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Trimming.h"
#include "Sonavex/Core/Constants.h"

namespace sonavex {

namespace {
bool isSpecialTokenCharacter(char32_t codePoint) {
    return codePoint < 0x80 &&
           Constants::specialTokenCharacters.find(static_cast<char>(codePoint)) != std::string_view::npos;
}
} // namespace

std::string trimmingSpecialTokenCharacters(std::string_view text) {
    return std::string(orvane::text::trimmed(text, isSpecialTokenCharacter));
}

std::string normalized(std::string_view text) {
    std::string lowered = orvane::text::lowercased(text);
    std::string kept;
    kept.reserve(lowered.size());
    bool lastWasSpace = false;
    for (char32_t codePoint : orvane::text::toCodePoints(lowered)) {
        if (codePoint == U'-') {
            codePoint = U' ';
        }
        if (orvane::text::isPunctuation(codePoint)) {
            continue;
        }
        // Runs of spaces collapse as they form, also where removed punctuation stood between them.
        if (codePoint == U' ' && lastWasSpace) {
            continue;
        }
        lastWasSpace = codePoint == U' ';
        orvane::text::appendUtf8(kept, codePoint);
    }
    return std::string(orvane::text::trimmedWhiteSpaceAndNewlines(kept));
}

} // namespace sonavex
