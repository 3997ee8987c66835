// The trie matcher of added tokens gives exactly the split of the added-token expression.

#include "OrvaneCore/External/Tokenizers/Pipeline/AddedTokenMatcher.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringSplitting.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using orvane::AddedTokenMatcher;
using Strings = std::vector<std::string>;

std::string expression(const std::vector<AddedTokenMatcher::Entry>& entries) {
    std::string pattern;
    for (const auto& entry : entries) {
        if (!pattern.empty()) pattern += '|';
        pattern += (entry.prefix ? R"(\s*()" : "(") + orvane::text::Regex::escape(entry.content) + ")" +
                   (entry.suffix ? R"(\s*)" : "");
    }
    return pattern;
}

TEST(AddedTokenMatcher, SplitsLikeTheExpressionOnRandomText) {
    // Overlapping tokens, tokens that begin or end with blanks, one text with two entries, and blanks
    // of several kinds (tab, line feed, U+000B, U+0085, no-break space, U+2028, ideographic space).
    const std::vector<AddedTokenMatcher::Entry> entries{
        {"<abc>", false, false}, {" <x>", true, false}, {"<ab", false, true}, {"<s>", true, true},
        {"<s>", false, false},   {"é<", false, false},  {"<a>", false, false}, {"b ", true, false},
        {"<", false, false},
    };
    const Strings parts{"<", "a", "b", "c", ">", "<abc>", "<s>", " <x>", "x", " ", "  ", "\t", "\n", "\v",
                        "\xC2\x85", "\xC2\xA0", "\xE2\x80\xA8", "\xE3\x80\x80", "\xC3\xA9", "e\xCC\x81", "日"};
    AddedTokenMatcher matcher(entries);
    orvane::text::Regex regex(expression(entries));
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        int length = static_cast<int>(random() % 14);
        for (int i = 0; i < length; ++i) text += parts[random() % parts.size()];
        ASSERT_EQ(matcher.split(text), orvane::split(text, regex)) << "text: [" << text << "]";
    }
}

TEST(AddedTokenMatcher, EarlierEntryWinsAndBlanksAreSwallowedGreedily) {
    AddedTokenMatcher matcher({{"<a>", false, false}, {"<a", false, false}, {"<s>", true, true}});
    EXPECT_EQ(matcher.split("x<a>y<az"), (Strings{"x", "<a>", "y", "<a", "z"}));
    EXPECT_EQ(matcher.split("x \t <s> \n y"), (Strings{"x", "<s>", "y"}));
    EXPECT_EQ(matcher.split("plain"), Strings{"plain"});
    EXPECT_EQ(matcher.split(""), Strings{""});
    auto match = matcher.find("ab  <s>  c", 0);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->start, 2u);
    EXPECT_EQ(match->contentStart, 4u);
    EXPECT_EQ(match->contentEnd, 7u);
    EXPECT_EQ(match->end, 9u);
    EXPECT_FALSE(matcher.find("ab  <s>  c", 9));
}

} // namespace
