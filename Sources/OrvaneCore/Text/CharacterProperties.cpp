#include "OrvaneCore/Text/CharacterProperties.h"

#include <unicode/uchar.h>

namespace orvane::text {

namespace {

UCharCategory icuCategory(char32_t c) {
    return c > 0x10FFFF ? U_UNASSIGNED : static_cast<UCharCategory>(u_charType(static_cast<UChar32>(c)));
}

} // namespace

GeneralCategory generalCategory(char32_t codePoint) {
    switch (icuCategory(codePoint)) {
    case U_UPPERCASE_LETTER:
        return GeneralCategory::Lu;
    case U_LOWERCASE_LETTER:
        return GeneralCategory::Ll;
    case U_TITLECASE_LETTER:
        return GeneralCategory::Lt;
    case U_MODIFIER_LETTER:
        return GeneralCategory::Lm;
    case U_OTHER_LETTER:
        return GeneralCategory::Lo;
    case U_NON_SPACING_MARK:
        return GeneralCategory::Mn;
    case U_COMBINING_SPACING_MARK:
        return GeneralCategory::Mc;
    case U_ENCLOSING_MARK:
        return GeneralCategory::Me;
    case U_DECIMAL_DIGIT_NUMBER:
        return GeneralCategory::Nd;
    case U_LETTER_NUMBER:
        return GeneralCategory::Nl;
    case U_OTHER_NUMBER:
        return GeneralCategory::No;
    case U_CONNECTOR_PUNCTUATION:
        return GeneralCategory::Pc;
    case U_DASH_PUNCTUATION:
        return GeneralCategory::Pd;
    case U_START_PUNCTUATION:
        return GeneralCategory::Ps;
    case U_END_PUNCTUATION:
        return GeneralCategory::Pe;
    case U_INITIAL_PUNCTUATION:
        return GeneralCategory::Pi;
    case U_FINAL_PUNCTUATION:
        return GeneralCategory::Pf;
    case U_OTHER_PUNCTUATION:
        return GeneralCategory::Po;
    case U_MATH_SYMBOL:
        return GeneralCategory::Sm;
    case U_CURRENCY_SYMBOL:
        return GeneralCategory::Sc;
    case U_MODIFIER_SYMBOL:
        return GeneralCategory::Sk;
    case U_OTHER_SYMBOL:
        return GeneralCategory::So;
    case U_SPACE_SEPARATOR:
        return GeneralCategory::Zs;
    case U_LINE_SEPARATOR:
        return GeneralCategory::Zl;
    case U_PARAGRAPH_SEPARATOR:
        return GeneralCategory::Zp;
    case U_CONTROL_CHAR:
        return GeneralCategory::Cc;
    case U_FORMAT_CHAR:
        return GeneralCategory::Cf;
    case U_SURROGATE:
        return GeneralCategory::Cs;
    case U_PRIVATE_USE_CHAR:
        return GeneralCategory::Co;
    default:
        return GeneralCategory::Cn;
    }
}

bool isWhiteSpace(char32_t codePoint) {
    return codePoint <= 0x10FFFF && u_isUWhiteSpace(static_cast<UChar32>(codePoint));
}

bool isHorizontalWhiteSpace(char32_t codePoint) {
    return codePoint == U'\t' || generalCategory(codePoint) == GeneralCategory::Zs;
}

bool isWhiteSpaceOrNewline(char32_t codePoint) {
    if ((codePoint >= U'\t' && codePoint <= U'\r') || codePoint == U'\u0085') {
        return true;
    }
    const GeneralCategory c = generalCategory(codePoint);
    return c >= GeneralCategory::Zs && c <= GeneralCategory::Zp;
}

bool isPunctuation(char32_t codePoint) {
    const GeneralCategory c = generalCategory(codePoint);
    return c >= GeneralCategory::Pc && c <= GeneralCategory::Po;
}

bool isLetter(char32_t codePoint) {
    return generalCategory(codePoint) <= GeneralCategory::Lo;
}

bool isMark(char32_t codePoint) {
    const GeneralCategory c = generalCategory(codePoint);
    return c >= GeneralCategory::Mn && c <= GeneralCategory::Me;
}

bool isNumber(char32_t codePoint) {
    const GeneralCategory c = generalCategory(codePoint);
    return c >= GeneralCategory::Nd && c <= GeneralCategory::No;
}

} // namespace orvane::text
