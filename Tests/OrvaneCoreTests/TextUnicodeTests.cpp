#include "OrvaneCore/Text/CaseMapping.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Normalization.h"
#include "OrvaneCore/Text/Trimming.h"

#include <gtest/gtest.h>

using namespace orvane::text;

TEST(TextNormalization, FourFormsAndCanonicalKeys) {
    const std::string composed = "\u00E9";
    const std::string decomposed = "e\u0301";
    EXPECT_EQ(normalize(decomposed, NormalizationForm::nfc), composed);
    EXPECT_EQ(normalize(composed, NormalizationForm::nfd), decomposed);
    EXPECT_EQ(normalize("\uFB01", NormalizationForm::nfkc), "fi");
    EXPECT_EQ(normalize("\uFB01", NormalizationForm::nfc), "\uFB01");
    EXPECT_EQ(normalize("\uFF71\uFF5E\uFF72", NormalizationForm::nfkc), "\u30A2~\u30A4");
    EXPECT_EQ(normalize("\u00C5", NormalizationForm::nfkd), "A\u030A");
    EXPECT_EQ(normalize(u"e\u0301", NormalizationForm::nfc), u"\u00E9");
    EXPECT_TRUE(isNormalized(composed, NormalizationForm::nfc));
    EXPECT_FALSE(isNormalized(composed, NormalizationForm::nfd));

    EXPECT_EQ(canonicalKey(decomposed), canonicalKey(composed));
    EXPECT_TRUE(canonicallyEquivalent("caf" + decomposed, "caf" + composed));
    EXPECT_FALSE(canonicallyEquivalent("\uFB01", "fi")); // compatibility is not canonical
    // Combining marks in a different order but of different classes are equivalent.
    EXPECT_TRUE(canonicallyEquivalent("a\u0323\u0301", "a\u0301\u0323"));
}

TEST(TextNormalization, RemovingDiacriticsKeepsBaseLetters) {
    EXPECT_EQ(removingDiacritics("H\u00E9llo"), "Hello");
    EXPECT_EQ(removingDiacritics("\u00C5ngstr\u00F6m"), "Angstrom");
    EXPECT_EQ(removingDiacritics("\u00F8"), "\u00F8"); // a stroke is part of the letter
}

TEST(TextCaseMapping, LowercasesOneCodePointAtATime) {
    // Whole-string mapping would turn the final sigma into U+03C2; per code point it stays U+03C3.
    EXPECT_EQ(lowercased("\u0391\u03A3"), "\u03B1\u03C3");
    EXPECT_EQ(lowercased("\u039F\u0394\u039F\u03A3 \u0391"), "\u03BF\u03B4\u03BF\u03C3 \u03B1");
    EXPECT_EQ(lowercased("\u0130"), "i\u0307"); // full mapping: two code points
    EXPECT_EQ(lowercaseMapping(U'\u0130'), "i\u0307");
    EXPECT_EQ(lowercased("Hello W\u00D6RLD \U00010400"), "hello w\u00F6rld \U00010428");
    EXPECT_EQ(lowercased("I"), "i"); // no Turkish dotless i without a locale
}

TEST(TextProperties, CategoriesAndWhiteSpace) {
    EXPECT_EQ(generalCategory(U'A'), GeneralCategory::Lu);
    EXPECT_EQ(generalCategory(U'\u01C5'), GeneralCategory::Lt);
    EXPECT_EQ(generalCategory(U'\u0301'), GeneralCategory::Mn);
    EXPECT_EQ(generalCategory(U'\u00A0'), GeneralCategory::Zs);
    EXPECT_EQ(generalCategory(U'\u200B'), GeneralCategory::Cf);
    EXPECT_EQ(generalCategory(U'\U000E0080'), GeneralCategory::Cn);
    EXPECT_EQ(generalCategory(char32_t(0x110000)), GeneralCategory::Cn);
    EXPECT_EQ(generalCategory(U'\uE000'), GeneralCategory::Co);

    EXPECT_TRUE(isPunctuation(U'!'));
    EXPECT_TRUE(isPunctuation(U'\u3002'));
    EXPECT_FALSE(isPunctuation(U'$'));
    EXPECT_FALSE(isPunctuation(U'+'));
    EXPECT_TRUE(isLetter(U'\u3042'));
    EXPECT_TRUE(isNumber(U'\u0663'));
    EXPECT_TRUE(isMark(U'\u0301'));

    for (char32_t c : {U'\t', U'\n', U'\v', U'\u0085', U'\u00A0', U'\u1680', U'\u2028', U'\u3000'}) {
        EXPECT_TRUE(isWhiteSpace(c)) << std::hex << static_cast<unsigned>(c);
    }
    for (char32_t c : {U'a', U'\u200B', U'\uFEFF', char32_t(0x110000)}) {
        EXPECT_FALSE(isWhiteSpace(c)) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(TextCaseMapping, CapitalizesEachWordStart) {
    EXPECT_EQ(capitalized("whisper"), "Whisper");
    EXPECT_EQ(capitalized("WHISPER large"), "Whisper Large");
    EXPECT_EQ(capitalized("xlm-roberta gpt_neox gpt2 t5"), "Xlm-Roberta Gpt_Neox Gpt2 T5");
    EXPECT_EQ(capitalized("don't \u00DFtra\u00DFe \u01C6emal"), "Don't Sstra\u00DFe \u01C5emal");
    EXPECT_EQ(capitalized(""), "");
}

TEST(TextProperties, PlatformWhiteSpaceSetsAndTrimming) {
    EXPECT_TRUE(isHorizontalWhiteSpace(U'\t'));
    EXPECT_TRUE(isHorizontalWhiteSpace(U'\u3000'));
    EXPECT_FALSE(isHorizontalWhiteSpace(U'\n')); // line breaks do not split words
    EXPECT_FALSE(isHorizontalWhiteSpace(U'\v'));
    for (char32_t c : {U'\n', U'\v', U'\r', U'\u0085', U'\u2028', U'\u2029', U'\u00A0'}) {
        EXPECT_TRUE(isWhiteSpaceOrNewline(c)) << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_FALSE(isWhiteSpaceOrNewline(U'\u200B'));

    EXPECT_EQ(trimmedWhiteSpaceAndNewlines(" \r\n\u3000a b\u2029\t"), "a b");
    EXPECT_EQ(trimmedWhiteSpaceAndNewlines(" \n "), "");
    EXPECT_EQ(trimmed("\t a \n", isHorizontalWhiteSpace), "a \n");
    EXPECT_EQ(trimmed("\xFF a", isWhiteSpace), "\xFF a"); // invalid bytes are kept, not trimmed
}
