#include "OrvaneCore/Text/Encoding.h"

#include <gtest/gtest.h>

using namespace orvane::text;

namespace {
const std::string fffd = "\xEF\xBF\xBD";
}

TEST(TextEncoding, AstralCharactersTakeTwoUtf16Units) {
    const std::string text = "a\U0001F600b\u00E9";
    const std::u16string units = toUtf16(text);
    ASSERT_EQ(units.size(), 5u);
    EXPECT_EQ(units[1], 0xD83D);
    EXPECT_EQ(units[2], 0xDE00);
    EXPECT_EQ(units[4], 0x00E9);
    EXPECT_EQ(utf16Length(text), 5u);
    EXPECT_EQ(toUtf8(units), text);
    EXPECT_EQ(toCodePoints(text), (std::u32string{U'a', U'\U0001F600', U'b', U'\u00E9'}));
    EXPECT_EQ(fromCodePoints(toCodePoints(text)), text);
}

TEST(TextEncoding, InvalidSequencesBecomeOneReplacementPerMaximalSubpart) {
    struct Case {
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"\xE3\x81", fffd}, // truncated three-byte sequence: one
        {"\xE3\x81"
         "a",
         fffd + "a"},                                    // cut by an ASCII byte, which survives
        {"\xFF", fffd},                                  // never valid
        {"\xC0\xAF", fffd + fffd},                       // overlong: each byte on its own
        {"\xED\xA0\x80", fffd + fffd + fffd},            // encoded surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd}, // above U+10FFFF
        {"\xF0\x9F\x98", fffd},                          // truncated emoji
        {"\x80\x80", fffd + fffd},                       // stray continuation bytes
        {"\xE3\x81\x82", "\xE3\x81\x82"},                // valid stays
        {fffd, fffd},                                    // a real U+FFFD is valid text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeUtf8(c.bytes), c.expected) << testing::PrintToString(c.bytes);
        EXPECT_EQ(toUtf8(toUtf16(c.bytes)), c.expected) << testing::PrintToString(c.bytes);
        EXPECT_EQ(isValidUtf8(c.bytes), c.bytes == c.expected) << testing::PrintToString(c.bytes);
    }
}

TEST(TextEncoding, UnpairedSurrogatesBecomeReplacementInUtf8) {
    EXPECT_EQ(toUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a" + fffd + "b");
    EXPECT_EQ(toUtf8(std::u16string{char16_t(0xDE00), char16_t(0xD83D)}), fffd + fffd);
    EXPECT_EQ(utf8(char32_t(0xD800)), fffd);
    EXPECT_EQ(utf8(char32_t(0x110000)), fffd);
}
