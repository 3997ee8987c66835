// Pre-tokenizers built from their configurations, and the string-splitting operations they share.

#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/ByteLevelPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerFactory.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringSplitting.h"
#include "OrvaneCore/Text/Encoding.h"

#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace tokenizertest;
using orvane::PreTokenizerOption;
using Strings = std::vector<std::string>;

const orvane::PreTokenizerOptions first{PreTokenizerOption::firstSection};
const orvane::PreTokenizerOptions later{};

Strings preTokenize(const std::string& configuration, const std::string& text,
                    const orvane::PreTokenizerOptions& options = first) {
    auto stage = orvane::PreTokenizerFactory::fromConfig(json(configuration));
    if (!stage) throw std::runtime_error("no pre-tokenizer for " + configuration);
    return stage->preTokenize(text, options);
}

std::string byteLevel(const std::string& text) { return orvane::ByteLevelPreTokenizer::byteEncoded(text); }

TEST(PreTokenizer, FixedExpressionTypes) {
    EXPECT_EQ(preTokenize(R"({"type": "Whitespace"})", "  a  b "), (Strings{"a", "b"}));
    EXPECT_EQ(preTokenize(R"({"type": "WhitespaceSplit"})", "  a \n\tb "), (Strings{"a", "b"}));
    EXPECT_TRUE(preTokenize(R"({"type": "Whitespace"})", "").empty());
    EXPECT_EQ(preTokenize(R"({"type": "Punctuation"})", "Hello, world!!"), (Strings{"Hello", ",", " world", "!!"}));
    EXPECT_EQ(preTokenize(R"({"type": "BertPreTokenizer"})", "Hello, world!!"),
              (Strings{"Hello", ",", "world", "!", "!"}));
    // ASCII symbols that are not Unicode punctuation ("$", "+") still count as punctuation.
    EXPECT_EQ(preTokenize(R"({"type": "BertPreTokenizer"})", "a$b+«c»"), (Strings{"a", "$", "b", "+", "«", "c", "»"}));
    EXPECT_EQ(preTokenize(R"({"type": "Digits", "individual_digits": true})", "abc123"),
              (Strings{"abc", "1", "2", "3"}));
    EXPECT_EQ(preTokenize(R"({"type": "Digits"})", "abc123"), (Strings{"abc", "123"}));
    EXPECT_EQ(preTokenize(R"({"type": "Digits", "individualDigits": false})", "٣4x"), (Strings{"٣4", "x"}));
}

TEST(PreTokenizer, ByteLevel) {
    std::string withPrefix = R"({"type": "ByteLevel", "add_prefix_space": true})";
    EXPECT_EQ(preTokenize(withPrefix, "Hello world"), (Strings{byteLevel(" Hello"), byteLevel(" world")}));
    // Every piece gets the blank, not only the first: the contraction "'s" too.
    EXPECT_EQ(preTokenize(withPrefix, "it's"), (Strings{byteLevel(" it"), byteLevel(" 's")}));
    EXPECT_EQ(preTokenize(R"({"type": "ByteLevel", "use_regex": false})", ""), Strings{""});
    EXPECT_TRUE(preTokenize(R"({"type": "ByteLevel"})", "").empty());
    EXPECT_EQ(preTokenize(R"({"type": "ByteLevel", "use_regex": false})", "a b\n"), Strings{"a\xC4\xA0" "b\xC4\x8A"});
    EXPECT_EQ(preTokenize(R"({"type": "ByteLevel"})", "a  b  "), (Strings{"a", byteLevel(" "), byteLevel(" b"), byteLevel("  ")}));
    EXPECT_EQ(byteLevel("é"), "\xC3\x83\xC2\xA9");
}

TEST(PreTokenizer, SplitKeepsOrDropsSeparators) {
    std::string literal = R"({"type": "Split", "pattern": {"String": "-"}, "invert": false})";
    EXPECT_EQ(preTokenize(literal, "a-b"), (Strings{"a", "-", "b"}));
    EXPECT_EQ(preTokenize(literal, "a--b"), (Strings{"a", "-", "-", "b"}));
    EXPECT_EQ(preTokenize(R"({"type": "Split", "pattern": {"String": "-"}, "invert": true})", "a-b"),
              (Strings{"a", "b"}));
    // Matches of an expression are kept even when inverted; "String" wins over "Regex".
    EXPECT_EQ(preTokenize(R"({"type": "Split", "pattern": {"Regex": "\\d+"}, "invert": true})", "a12b3"),
              (Strings{"a", "12", "b", "3"}));
    EXPECT_EQ(preTokenize(R"({"type": "Split", "pattern": {"String": "-", "Regex": "b"}})", "a-b"),
              (Strings{"a", "-", "b"}));
    EXPECT_EQ(preTokenize(R"({"type": "Split", "pattern": {}})", "a-b"), Strings{"a-b"});
    EXPECT_EQ(preTokenize(R"({"type": "Split", "pattern": {"Regex": "("}})", "a(b"), Strings{"a(b"});
    EXPECT_EQ(preTokenize(R"({"type": "Split", "pattern": {"Regex": "x*"}})", "ab"), (Strings{"a", "b"}));
}

TEST(PreTokenizer, MetaspaceMarksWordStarts) {
    std::string always = R"({"type": "Metaspace", "replacement": "▁", "str_rep": "▁", "add_prefix_space": true})";
    EXPECT_EQ(preTokenize(always, "Hello world"), (Strings{"▁Hello", "▁world"}));
    EXPECT_EQ(preTokenize(always, "Hello world", later), (Strings{"▁Hello", "▁world"}));
    EXPECT_EQ(preTokenize(always, "▁Hello"), Strings{"▁Hello"});
    std::string firstOnly = R"({"type": "Metaspace", "replacement": "▁", "add_prefix_space": true,
                                "prepend_scheme": "first"})";
    EXPECT_EQ(preTokenize(firstOnly, "Hello world"), (Strings{"▁Hello", "▁world"}));
    EXPECT_EQ(preTokenize(firstOnly, "Hello world", later), (Strings{"Hello", "▁world"}));
    EXPECT_EQ(preTokenize(R"({"type": "Metaspace", "replacement": "▁", "add_prefix_space": true,
                              "prepend_scheme": "never"})", "Hi"), Strings{"Hi"});
    EXPECT_EQ(preTokenize(R"({"type": "Metaspace", "replacement": "▁", "prepend_scheme": "sometimes"})", "a b"),
              (Strings{"a", "▁b"}));
    // Newer files give a scheme but no add_prefix_space, which defaults to false: no marker in front.
    EXPECT_EQ(preTokenize(R"({"type": "Metaspace", "replacement": "▁", "prepend_scheme": "first", "split": false})",
                          "Hello world"),
              (Strings{"Hello", "▁world"}));
    // The default marker is a blank: the text is cut before each blank.
    EXPECT_EQ(preTokenize(R"({"type": "Metaspace"})", "a b  c"), (Strings{"a", " b", " ", " c"}));
}

TEST(PreTokenizer, SequenceAppliesEachStageToEveryPiece) {
    EXPECT_EQ(preTokenize(R"({"type": "Sequence", "pretokenizers": [
                  {"type": "WhitespaceSplit"}, {"no": "type"}, {"type": "Digits", "individual_digits": true}]})",
                          "ab12 c3"),
              (Strings{"ab", "1", "2", "c", "3"}));
    EXPECT_EQ(preTokenize(R"({"type": "Sequence", "pretokenizers": []})", "a b"), Strings{"a b"});
}

TEST(PreTokenizer, FactoryErrors) {
    EXPECT_EQ(orvane::PreTokenizerFactory::fromConfig(orvane::Config()), nullptr);
    EXPECT_EQ(orvane::PreTokenizerFactory::fromConfig(json(R"({"type": 3})")), nullptr);
    auto message = [](const std::string& configuration) {
        try {
            orvane::PreTokenizerFactory::fromConfig(json(configuration));
        } catch (const orvane::TokenizerError& error) {
            EXPECT_EQ(error.kind(), orvane::TokenizerError::Kind::mismatchedConfig);
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(R"({"type": "bytelevel"})"), "Tokenizer configuration mismatch: Unsupported PreTokenizer type: bytelevel");
    EXPECT_EQ(message(R"({"type": ""})"), "Tokenizer configuration mismatch: Unsupported PreTokenizer type: ");
    EXPECT_EQ(message(R"({"type": "Sequence"})"), "Tokenizer configuration mismatch: No pretokenizers in Sequence");
    EXPECT_EQ(message(R"({"type": "Sequence", "pretokenizers": [{"type": "Nope"}]})"),
              "Tokenizer configuration mismatch: Unsupported PreTokenizer type: Nope");
}

TEST(StringSplitting, SplitsByBehaviour) {
    using orvane::SplitDelimiterBehavior;
    auto marker = orvane::SearchPattern::regularExpression("▁");
    EXPECT_EQ(orvane::split("▁▁a", marker, SplitDelimiterBehavior::mergedWithNext), (Strings{"▁", "▁a"}));
    EXPECT_EQ(orvane::split("a▁b▁", marker, SplitDelimiterBehavior::mergedWithNext), (Strings{"a", "▁b", "▁"}));
    EXPECT_EQ(orvane::split("a▁b▁", marker, SplitDelimiterBehavior::mergedWithPrevious), (Strings{"a▁", "b▁"}));
    EXPECT_EQ(orvane::split("▁a▁▁b", marker, SplitDelimiterBehavior::mergedWithPrevious), (Strings{"▁", "a▁", "▁", "b"}));
    EXPECT_EQ(orvane::split("a▁b", marker, SplitDelimiterBehavior::removed), (Strings{"a", "b"}));
    EXPECT_EQ(orvane::split("a▁b", marker, SplitDelimiterBehavior::isolated), (Strings{"a", "▁", "b"}));
    EXPECT_TRUE(orvane::split("", marker, SplitDelimiterBehavior::mergedWithNext).empty());
    // Each search covers the rest of the text, so "^" matches where a search starts.
    EXPECT_EQ(orvane::matches("aaab", orvane::SearchPattern::regularExpression("^a")), (Strings{"a", "a", "a"}));
    EXPECT_EQ(orvane::matches("abab", orvane::SearchPattern::literal("ab")), (Strings{"ab", "ab"}));
    EXPECT_TRUE(orvane::matches("abc", orvane::SearchPattern::literal("")).empty());
    // Positions are UTF-16 offsets: a character beyond the basic plane is matched whole.
    auto ranges = orvane::ranges(orvane::text::toUtf16("😀x😀"), orvane::SearchPattern::literal("x"));
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].start, 2u);
}

TEST(StringSplitting, CaptureAwareSplitKeepsTheTokenWithoutItsBlanks) {
    orvane::text::Regex addedToken(R"(\s*(<x>)\s*|(<y>))");
    EXPECT_EQ(orvane::split("a<x>b", addedToken), (Strings{"a", "<x>", "b"}));
    EXPECT_EQ(orvane::split("a  <x> b<y>", addedToken), (Strings{"a", "<x>", "b", "<y>"}));
    EXPECT_EQ(orvane::split("plain", addedToken), Strings{"plain"});
    EXPECT_EQ(orvane::split("", addedToken), Strings{""});
    EXPECT_EQ(orvane::split("<x><x>", addedToken), (Strings{"<x>", "<x>"}));
}

} // namespace
