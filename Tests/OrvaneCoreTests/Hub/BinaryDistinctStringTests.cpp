#include "OrvaneCore/External/Hub/Configuration/BinaryDistinctCharacter.h"
#include "OrvaneCore/External/Hub/Configuration/BinaryDistinctString.h"

#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <unordered_map>

using orvane::BinaryDistinctCharacter;
using orvane::BinaryDistinctString;

namespace {

const BinaryDistinctString precomposed("\u00E9");
const BinaryDistinctString combining("e\u0301");

} // namespace

TEST(BinaryDistinctString, ComparesHashesAndOrdersByCodeUnits) {
    EXPECT_NE(precomposed, combining);
    EXPECT_LT(combining, precomposed); // 0x0065 before 0x00E9
    std::unordered_map<BinaryDistinctString, int> keys{{precomposed, 1}, {combining, 2}};
    EXPECT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys.at(combining), 2);
    // A supplementary character (lead surrogate 0xD83D) sorts before U+E000 by units, though after it by
    // code point or UTF-8 bytes.
    EXPECT_LT(BinaryDistinctString("\U0001F600"), BinaryDistinctString("\uE000"));
    EXPECT_LT(BinaryDistinctString(""), BinaryDistinctString("a"));
    EXPECT_LT(BinaryDistinctString("ab"), BinaryDistinctString("abc"));
    std::map<BinaryDistinctString, int> sorted{{"b", 1}, {"\uE000", 2}, {"\U0001F600", 3}, {"a", 4}};
    std::vector<std::u16string> order;
    for (const auto& [key, value] : sorted) {
        order.push_back(key.value());
    }
    EXPECT_EQ(order, (std::vector<std::u16string>{u"a", u"b", u"\U0001F600", u"\uE000"}));
}

TEST(BinaryDistinctString, KeepsUnpairedSurrogatesAsUnitsButDecodesThemAsReplacement) {
    BinaryDistinctString lone(std::u16string{u'a', char16_t(0xD800)});
    EXPECT_EQ(lone.value().size(), 2u);
    EXPECT_EQ(lone.string(), "a\uFFFD");
    EXPECT_NE(lone, BinaryDistinctString("a\uFFFD"));
    EXPECT_EQ((lone + BinaryDistinctString("b")).value(), (std::u16string{u'a', char16_t(0xD800), u'b'}));
}

TEST(BinaryDistinctString, CountsUserPerceivedCharactersNotUnits) {
    EXPECT_EQ(combining.count(), 1);
    EXPECT_EQ(combining.value().size(), 2u);
    EXPECT_EQ(BinaryDistinctString("\U0001F1EF\U0001F1F5").count(), 1); // a flag: four units
    EXPECT_EQ(BinaryDistinctString("a\r\nb").count(), 3);
    EXPECT_EQ(BinaryDistinctString("").count(), 0);
    auto characters = BinaryDistinctString("ae\u0301\U0001F600").characters();
    ASSERT_EQ(characters.size(), 3u);
    EXPECT_EQ(characters[1].bytes(), u"e\u0301");
    EXPECT_EQ(characters[2].bytes().size(), 2u);
    EXPECT_EQ(BinaryDistinctString(characters).value(), u"ae\u0301\U0001F600");
}

TEST(BinaryDistinctString, TestsPrefixesAndSuffixesByUnits) {
    BinaryDistinctString empty;
    EXPECT_TRUE(empty.hasPrefix(empty));
    EXPECT_TRUE(empty.hasSuffix(empty));
    EXPECT_FALSE(BinaryDistinctString("ab").hasSuffix(BinaryDistinctString("xab")));
    EXPECT_TRUE(BinaryDistinctString("##ab").hasPrefix(BinaryDistinctString("##")));
    EXPECT_FALSE(precomposed.hasPrefix(BinaryDistinctString("e")));
    EXPECT_TRUE(combining.hasPrefix(BinaryDistinctString("e")));
}

TEST(BinaryDistinctString, OffsetsAndSlicesWithinBounds) {
    BinaryDistinctString text("abcde");
    EXPECT_EQ(text.index(3, 2), 5);
    EXPECT_FALSE(text.index(3, 2, 4).has_value());
    EXPECT_EQ(text.index(3, -2, 4), 1);
    EXPECT_THROW(text.index(3, 3), std::out_of_range);
    EXPECT_THROW(text.index(0, -1), std::out_of_range);
    EXPECT_EQ(text.slice(1, 3).string(), "bc");
    EXPECT_EQ(text.slice(2, 2).string(), "");
    EXPECT_EQ(text.slice(3).string(), "de");
    try {
        text.slice(2, 6);
        FAIL() << "slice past the end was accepted";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "Index out of bounds");
    }
    EXPECT_THROW(text.slice(-1, 2), std::out_of_range);
    EXPECT_THROW(text.slice(3, 2), std::out_of_range);
    EXPECT_THROW(text.slice(6), std::out_of_range);
    // Positions count scalars, so a supplementary character is not cut in half.
    EXPECT_EQ(BinaryDistinctString("\U0001F600xy").slice(0, 2).value(), u"\U0001F600x");
}

TEST(BinaryDistinctString, LowercasesOneScalarAtATime) {
    EXPECT_EQ(BinaryDistinctString("ÀB\u0130").lowercased().string(), "àbi\u0307");
    EXPECT_EQ(BinaryDistinctString("\u0391\u03A3").lowercased().string(), "\u03B1\u03C3");
}

TEST(BinaryDistinctString, ReplacesCanonicallyEquivalentOccurrences) {
    BinaryDistinctString text("caf\u00E9 and cafe\u0301!");
    EXPECT_EQ(
        text.replacingOccurrences(BinaryDistinctString("cafe\u0301"), BinaryDistinctString("X")).string(),
        "X and X!");
    // "e" alone is not found inside "é" (either form): the accent belongs to the character.
    EXPECT_EQ(text.replacingOccurrences(BinaryDistinctString("e"), BinaryDistinctString("_")).string(),
              text.string());
    EXPECT_EQ(BinaryDistinctString("a-b-c")
                  .replacingOccurrences(BinaryDistinctString("-"), BinaryDistinctString(""))
                  .string(),
              "abc");
    EXPECT_EQ(text.replacingOccurrences(BinaryDistinctString(""), BinaryDistinctString("x")), text);
}

TEST(BinaryDistinctString, MergesWithTheStrategyGivenCurrentThenNewValue) {
    std::unordered_map<BinaryDistinctString, std::string> target{{"k", "old"}, {"only", "kept"}};
    std::map<std::string, std::string> other{{"k", "new"}, {"added", "x"}};
    auto merged = orvane::merging(target, other,
                                  [](const std::string& a, const std::string& b) { return a + "+" + b; });
    EXPECT_EQ(merged.at("k"), "old+new");
    EXPECT_EQ(merged.at("added"), "x");
    EXPECT_EQ(merged.at("only"), "kept");
    EXPECT_EQ(target.at("k"), "old"); // merging works on a copy
    orvane::merge(target, other, [](const std::string&, const std::string& b) { return b; });
    EXPECT_EQ(target.at("k"), "new");
}

TEST(BinaryDistinctCharacter, DescribesItsTextAndUnits) {
    EXPECT_EQ(BinaryDistinctCharacter("a").description(), "BinaryDistinctCharacter('a', bytes: [\"0x61\"])");
    EXPECT_EQ(BinaryDistinctCharacter("\u3042\u3099").description(),
              "BinaryDistinctCharacter('\u3042\u3099', bytes: [\"0x3042\", \"0x3099\"])");
}
