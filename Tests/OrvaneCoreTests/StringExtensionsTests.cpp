#include "OrvaneCore/Extensions/StringExtensions.h"

#include <gtest/gtest.h>
#include <sstream>

using orvane::lastNaturalBoundary;
using orvane::trimmingFromEnd;

TEST(TrimmingFromEnd, RemovesAtMostCountTrailingCopies) {
    EXPECT_EQ(trimmingFromEnd("abc   ", " ", 2), "abc ");
    EXPECT_EQ(trimmingFromEnd("abc   ", " ", 0), "abc   ");
    EXPECT_EQ(trimmingFromEnd("abc   ", " ", -3), "abc   ");
    EXPECT_EQ(trimmingFromEnd("abc   ", " ", 10), "abc");
    EXPECT_EQ(trimmingFromEnd("   ", " ", 5), "");
    EXPECT_EQ(trimmingFromEnd("", " ", 1), "");
    EXPECT_EQ(trimmingFromEnd("a b", " ", 1), "a b");
    EXPECT_EQ(trimmingFromEnd("▁▁x▁▁", "▁", 1), "▁▁x▁");
}

TEST(TrimmingFromEnd, ComparesWholeCharactersByCanonicalEquivalence) {
    // A decomposed "é" at the end is the same character as the precomposed one.
    EXPECT_EQ(trimmingFromEnd("cafe\u0301", "\u00E9", 1), "caf");
    EXPECT_EQ(trimmingFromEnd("caf\u00E9\u00E9", "e\u0301", 2), "caf");
    // "e" is not the last character of "e" + combining accent, and CR LF is one character.
    EXPECT_EQ(trimmingFromEnd("cafe\u0301", "e", 1), "cafe\u0301");
    EXPECT_EQ(trimmingFromEnd("line\r\n", "\n", 1), "line\r\n");
    EXPECT_EQ(trimmingFromEnd("line\r\n", "\r\n", 1), "line");
    EXPECT_THROW(trimmingFromEnd("abc", "bc", 1), std::invalid_argument);
    EXPECT_THROW(trimmingFromEnd("abc", "", 1), std::invalid_argument);
}

namespace {

// One token per word; records what it was asked to encode.
struct WordEncoder {
    std::vector<std::string>* seen;
    std::vector<std::int64_t> operator()(const std::string& text) const {
        seen->push_back(text);
        std::istringstream words(text);
        std::vector<std::int64_t> ids;
        for (std::string word; words >> word;) {
            ids.push_back(static_cast<std::int64_t>(ids.size()));
        }
        return ids;
    }
};

std::optional<std::string> boundary(const std::string& text, int minTokens) {
    std::vector<std::string> seen;
    return lastNaturalBoundary(text, minTokens, WordEncoder{&seen});
}

} // namespace

TEST(LastNaturalBoundary, UnfinishedLastSentenceFallsBackToThePreviousOne) {
    EXPECT_EQ(boundary("Hello there. How are you", 2), "Hello there. ");
    EXPECT_EQ(boundary("Hello there. How are you?", 2), "Hello there. How are you?");
    EXPECT_EQ(boundary("今日は晴れ。明日は", 1), "今日は晴れ。");
    // The longest accepted sentence prefix wins; with too few tokens everywhere there is none.
    EXPECT_EQ(boundary("One two three. Four. Five", 3), "One two three. Four. ");
    EXPECT_EQ(boundary("One two three. Four. Five", 4), "One two three. Four. ");
    EXPECT_EQ(boundary("One two three. Four. Five", 5), std::nullopt);
}

TEST(LastNaturalBoundary, FinishedMeansTerminatorBeforeClosingMarksOrALineBreak) {
    EXPECT_EQ(boundary("He said \"Stop.\"  ", 1), "He said \"Stop.\"  ");
    EXPECT_EQ(boundary("(It ended.)", 1), "(It ended.)");
    EXPECT_EQ(boundary("A heading without a stop\n", 1), "A heading without a stop\n");
    EXPECT_EQ(boundary("Done. Then \"", 1), "Done. ");
}

TEST(LastNaturalBoundary, ClauseMarksThenLastSpace) {
    EXPECT_EQ(boundary("first part, second part", 1), "first part,");
    EXPECT_EQ(boundary("first part, second part;", 1), "first part, second part;");
    // A mark inside a word is no boundary.
    EXPECT_EQ(boundary("well-known thing", 1), "well-known");
    EXPECT_EQ(boundary("alpha beta gamma", 2), "alpha beta");
    EXPECT_EQ(boundary("alpha beta gamma", 3), std::nullopt);
    EXPECT_EQ(boundary("word", 1), std::nullopt);
    EXPECT_EQ(boundary("", 0), std::nullopt);
}

TEST(LastNaturalBoundary, EncodesTrimmedCandidatesButReturnsThemUntrimmed) {
    std::vector<std::string> seen;
    auto found = lastNaturalBoundary("  First one.\n Second", 2, WordEncoder{&seen});
    EXPECT_EQ(found, "  First one.\n");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "First one.");
}
