#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/Sentences.h"

#include <gtest/gtest.h>

using namespace orvane::text;

TEST(TextGraphemes, CountsUserPerceivedCharacters) {
    EXPECT_EQ(graphemeCount(""), 0u);
    EXPECT_EQ(graphemeCount("abc"), 3u);
    EXPECT_EQ(graphemeCount("a\r\nb"), 3u);                                     // CR LF is one
    EXPECT_EQ(graphemeCount("e\u0301"), 1u);                                    // combining accent
    EXPECT_EQ(graphemeCount("\U0001F468\u200D\U0001F469\u200D\U0001F467"), 1u); // ZWJ family
    EXPECT_EQ(graphemeCount("\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8"), 2u);   // two flags
    EXPECT_EQ(graphemeCount("\U0001F44D\U0001F3FD"), 1u);                       // skin-tone modifier
    EXPECT_EQ(graphemeCount("\u1112\u1161\u11AB\uD55C"), 2u); // conjoining jamo + precomposed
    const std::string mixed = "a\U0001F600e\u0301\r\n";
    EXPECT_EQ(graphemeCount(toUtf16(mixed)), 4u);
    EXPECT_EQ(graphemes(mixed), (std::vector<std::string>{"a", "\U0001F600", "e\u0301", "\r\n"}));
}

TEST(TextGraphemes, BoundariesAreUtf16Offsets) {
    const std::u16string text = toUtf16("a\U0001F600e\u0301b");
    EXPECT_EQ(graphemeBoundaries(text), (std::vector<std::size_t>{0, 1, 3, 5, 6}));
    EXPECT_EQ(graphemeBoundaries(u""), (std::vector<std::size_t>{0}));
    EXPECT_EQ(nextGraphemeBoundary(text, 0), 1u);
    EXPECT_EQ(nextGraphemeBoundary(text, 1), 3u);
    EXPECT_EQ(nextGraphemeBoundary(text, 3), 5u);
    EXPECT_EQ(nextGraphemeBoundary(text, 6), 6u);
    EXPECT_EQ(nextGraphemeBoundary(u"\r\n", 0), 2u);
}

TEST(TextSentences, RangesCoverTheWholeText) {
    EXPECT_EQ(sentences("Hello there. How are you? Fine"),
              (std::vector<std::string>{"Hello there. ", "How are you? ", "Fine"}));
    EXPECT_TRUE(sentenceRanges(u"").empty());
    const std::u16string text = toUtf16("\U0001F600 Done! \u3053\u3093\u306B\u3061\u306F\u3002\u5143\u6C17");
    const auto ranges = sentenceRanges(text);
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0], (Utf16Range{0, 9}));
    EXPECT_EQ(ranges.back().end, text.size());
}
