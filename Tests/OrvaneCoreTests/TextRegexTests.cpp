#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Regex.h"
#include "OrvaneCore/Text/RegexError.h"

#include <gtest/gtest.h>
#include <thread>

using namespace orvane::text;

namespace {

const char* byteLevelPattern =
    R"('s|'t|'re|'ve|'m|'ll|'d| ?\p{L}+| ?\p{N}+| ?[^\s\p{L}\p{N}]+|\s+(?!\S)|\s+)";

std::vector<Utf16Range> ranges(const Regex& regex, std::u16string_view text) {
    return regex.findAllRanges(text);
}

} // namespace

TEST(TextRegex, PositionsAreUtf16OffsetsAcrossAstralCharacters) {
    const Regex letters(R"(\p{L}+)");
    const std::u16string text = toUtf16("\U0001F600ab \U0001D400c"); // U+1D400 is a letter
    EXPECT_EQ(ranges(letters, text), (std::vector<Utf16Range>{{2, 4}, {5, 8}}));
    EXPECT_EQ(letters.matchedTexts("\U0001F600ab \U0001D400c"),
              (std::vector<std::string>{"ab", "\U0001D400c"}));
}

TEST(TextRegex, EachSearchAnchorsAtTheRestOfTheText) {
    // A search over the rest of the text starts a new region, so "^" holds at every continuation point.
    EXPECT_EQ(Regex("^a").findAllRanges(u"aaa").size(), 3u);
    EXPECT_EQ(Regex("^a").findAllRanges(u"aba").size(), 1u);
    const auto fromOne = Regex("^b").firstMatch(u"ab", 1);
    ASSERT_TRUE(fromOne.has_value());
    EXPECT_EQ(fromOne->range(), (Utf16Range{1, 2}));
    // Word boundaries treat the region start as the start of the text.
    EXPECT_EQ(Regex("a|\\bb").findAllRanges(u"ab"), (std::vector<Utf16Range>{{0, 1}, {1, 2}}));
    // Replacement works over the whole text: "^" only at its start.
    EXPECT_EQ(Regex("^a").replaceAll(std::string("aaa"), std::string("x")), "xaa");
}

TEST(TextRegex, EmptyMatchesAdvanceOneUserPerceivedCharacter) {
    const std::u16string text = toUtf16("e\u0301\U0001F600b");
    EXPECT_EQ(ranges(Regex("x*"), text), (std::vector<Utf16Range>{{0, 0}, {2, 2}, {4, 4}, {5, 5}}));
    EXPECT_TRUE(ranges(Regex("x*"), u"").size() == 1u);
}

TEST(TextRegex, EmptyPatternMatchesNothing) {
    const Regex empty("");
    EXPECT_TRUE(empty.findAll(u"abc").empty());
    EXPECT_FALSE(empty.firstMatch(u"abc").has_value());
    EXPECT_FALSE(empty.contains(""));
    EXPECT_EQ(empty.replaceAll(std::string("abc"), std::string("x")), "abc");
    EXPECT_EQ(empty.groupCount(), 0u);
}

TEST(TextRegex, BadPatternReportsPatternAndEngineError) {
    try {
        Regex("(ab");
        FAIL() << "expected RegexError";
    } catch (const RegexError& error) {
        EXPECT_EQ(error.pattern(), "(ab");
        EXPECT_EQ(error.reason(), "U_REGEX_MISMATCHED_PAREN");
        EXPECT_NE(std::string(error.what()).find("\"(ab\""), std::string::npos);
    }
    EXPECT_THROW(Regex("[a-"), RegexError);
    EXPECT_THROW(Regex("\\p{NoSuchProperty}"), RegexError);
}

TEST(TextRegex, CaptureGroupsReportParticipation) {
    const Regex regex("(a)|(b)(c)?");
    ASSERT_EQ(regex.groupCount(), 3u);
    const auto matches = regex.findAll(u"\U0001F600ab");
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].group(1), (Utf16Range{2, 3}));
    EXPECT_FALSE(matches[0].group(2).has_value());
    EXPECT_EQ(matches[1].group(2), (Utf16Range{3, 4}));
    EXPECT_FALSE(matches[1].group(3).has_value());
    EXPECT_FALSE(matches[1].group(9).has_value());
}

TEST(TextRegex, ReplaceAllUsesDollarGroupTemplates) {
    const Regex cleanup(R"( ([\.\?\!,])| ('[sm]))");
    EXPECT_EQ(cleanup.replaceAll(std::string("hello . it 's me !"), std::string("$1$2")), "hello. it's me!");
    EXPECT_EQ(Regex(" +").replaceAll(std::string("a   b c"), std::string("\u2581")), "a\u2581b\u2581c");
    EXPECT_EQ(Regex("(\\d+)").replaceAll(std::string("a1b22"), std::string("<\\$$1>")), "a<$1>b<$22>");
    EXPECT_THROW(Regex("(a)").replaceAll(std::string("a"), std::string("$2")), RegexError);
}

TEST(TextRegex, EscapedLiteralMatchesItselfOnly) {
    std::string literal;
    for (int c = 0; c < 0x80; ++c) {
        literal.push_back(static_cast<char>(c)); // every ASCII character, NUL and controls included
    }
    literal += "<|end\u2581of\u2581text|>\u00E9";
    const Regex regex(Regex::escape(literal));
    EXPECT_EQ(regex.matchedTexts("x" + literal + "y" + literal),
              (std::vector<std::string>{literal, literal}));
    EXPECT_TRUE(Regex(Regex::escape("a.c")).matchedTexts("abc").empty());
}

TEST(TextRegex, ByteLevelExpressionSplitsAsTokenizersExpect) {
    EXPECT_EQ(Regex(byteLevelPattern).matchedTexts("Hello  world's 123 \u3053\u3093\u306B\u3061\u306F\uFF01"),
              (std::vector<std::string>{"Hello", " ", " world", "'s", " 123",
                                        " \u3053\u3093\u306B\u3061\u306F", "\uFF01"}));
}

TEST(TextRegex, LongMatchOfRepeatedGroupIsNotDropped) {
    // Far past the engine's default backtracking stack: the match must still be found, not
    // reported as "no match".
    const std::u16string text = std::u16string(300000, u'a') + u" b";
    EXPECT_EQ(ranges(Regex("(a|b)+"), text), (std::vector<Utf16Range>{{0, 300000}, {300001, 300002}}));
    // Three groups per repetition need several times the engine's stack per character: the limit
    // grows with the text, so this long match still fits.
    std::u16string mixed;
    for (int i = 0; i < 100000; ++i) {
        mixed += u"abca";
    }
    EXPECT_EQ(ranges(Regex("(?:(a)|(b)|(c))+"), mixed), (std::vector<Utf16Range>{{0, 400000}}));
}

TEST(TextRegex, HostileExpressionsGiveUpInsteadOfHangingOrExhaustingMemory) {
    // Exponential backtracking, and a possessive loop over an anchor that grows the stack for ever.
    const std::u16string aaab = std::u16string(40, u'a') + u"b";
    for (const auto& [pattern, text] : {std::pair<const char*, std::u16string>{"(a+)+$", aaab},
                                        std::pair<const char*, std::u16string>{"^++$", u"aab"}}) {
        const Regex regex(pattern);
        try {
            regex.findAll(text);
            ADD_FAILURE() << pattern << " found its matches";
        } catch (const RegexError& error) {
            EXPECT_TRUE(error.searchGaveUp()) << error.reason();
            EXPECT_EQ(error.pattern(), pattern);
            EXPECT_NE(std::string(error.what()).find("gave up"), std::string::npos) << error.what();
        }
        EXPECT_THROW(regex.replaceAll(text, u"x"), RegexError) << pattern;
        EXPECT_THROW(regex.firstMatch(text), RegexError) << pattern;
    }
    // The same expression is harmless on text it matches at once, and a pooled matcher that gave up
    // searches normally afterwards.
    const Regex nested("(a+)+$");
    EXPECT_THROW(nested.findAll(aaab), RegexError);
    EXPECT_EQ(ranges(nested, u"aaaa"), (std::vector<Utf16Range>{{0, 4}}));
    EXPECT_FALSE(RegexError("x", "U_REGEX_MISMATCHED_PAREN", "m").searchGaveUp());
}

TEST(TextRegex, SharedInstanceGivesSameResultsFromManyThreads) {
    const Regex regex(byteLevelPattern);
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "The quick brown fox's 42 jumps \u00FCber \U0001F600 den Hund. ";
    }
    const auto expected = regex.matchedTexts(text);
    std::vector<std::thread> threads;
    std::vector<int> agreed(8, 0);
    for (std::size_t t = 0; t < agreed.size(); ++t) {
        threads.emplace_back([&, t] {
            const Regex copy = regex; // copies share the compiled pattern
            for (int round = 0; round < 20; ++round) {
                agreed[t] += (t % 2 ? copy : regex).matchedTexts(text) == expected;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int count : agreed) {
        EXPECT_EQ(count, 20);
    }
}
