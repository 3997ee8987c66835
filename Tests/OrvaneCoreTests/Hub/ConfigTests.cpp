#include "OrvaneCore/External/Hub/Configuration/Config.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using orvane::BinaryDistinctString;
using orvane::Config;

namespace {

std::string snake(const char* key) {
    return Config::uncamelCase(BinaryDistinctString(key)).string();
}

} // namespace

TEST(ConfigSnakeCase, InsertsOneUnderscoreBeforeEachRunOfCapitals) {
    EXPECT_EQ(snake("addPrefixSpace"), "add_prefix_space");
    EXPECT_EQ(snake("unkId"), "unk_id");
    EXPECT_EQ(snake("URL"), "url");
    EXPECT_EQ(snake("myURLValue"), "my_urlvalue");
    EXPECT_EQ(snake("x2Y"), "x2_y");
    EXPECT_EQ(snake("_Private"), "__private");
    EXPECT_EQ(snake("Type"), "type");
    EXPECT_EQ(snake("already_snake"), "already_snake");
    EXPECT_EQ(snake(""), "");
    EXPECT_EQ(snake("12_34"), "12_34");
}

TEST(ConfigSnakeCase, TreatsNonAsciiCapitalsAndTitlecaseAsUppercase) {
    EXPECT_EQ(snake("straßeÖl"), "straße_öl");
    // U+01C5 (Dž, titlecase) counts as a capital; U+0130 lowercases to two scalars.
    EXPECT_EQ(snake("a\u01C5b"), "a_\u01C6b");
    EXPECT_EQ(snake("x\u0130"), "x_i\u0307");
    // Capital Greek sigma is mapped alone, so no final-sigma rule applies.
    EXPECT_EQ(snake("a\u0391\u03A3"), "a_\u03B1\u03C3");
}

TEST(ConfigLookup, FindsTheNameAsWrittenBeforeItsSnakeCaseForm) {
    Config config = Config::fromPairs({{"addPrefixSpace", 1}, {"add_prefix_space", 2}, {"unk_id", 7}});
    EXPECT_EQ(config["addPrefixSpace"].integer(), 1);
    EXPECT_EQ(config["unkId"].integer(), 7);
    EXPECT_EQ(config[BinaryDistinctString("unkId")].integer(), 7);
    EXPECT_TRUE(config["missing"].isNull());
    // A snake_case name is not turned back into camelCase.
    EXPECT_TRUE(Config::fromPairs({{"unkId", 1}})["unk_id"].isNull());
}

TEST(ConfigLookup, ChainsThroughNullAndNonDictionaries) {
    Config config =
        Config::fromPairs({{"model", Config::fromPairs({{"type", "BPE"}})}, {"list", Config::Array{1}}});
    EXPECT_EQ(config["model"]["type"].string(), "BPE");
    EXPECT_TRUE(config["nothing"]["deeper"]["still"].isNull());
    for (const Config& notDictionary : {Config(Config::Array{1}), Config("text"), Config(), Config(3)}) {
        EXPECT_TRUE(notDictionary["a"].isNull());
        EXPECT_EQ(notDictionary.find("a"), nullptr);
    }
    const Config* absent = config.find("nothing");
    ASSERT_NE(absent, nullptr);
    EXPECT_TRUE(absent->isNull());
    EXPECT_TRUE(Config(Config::Dictionary{}).find("a")->isNull());
}

TEST(ConfigReaders, ReadBooleansLeniently) {
    EXPECT_EQ(Config(1).boolean(), true);
    EXPECT_EQ(Config(0).boolean(), false);
    EXPECT_EQ(Config(2).boolean(), false);
    EXPECT_EQ(Config(-1).boolean(), false);
    EXPECT_EQ(Config(true).boolean(), true);
    for (const char* yes : {"true", "TRUE", "t", "T", "1"}) {
        EXPECT_EQ(Config(yes).boolean(), true) << yes;
    }
    for (const char* no : {"false", "False", "f", "0"}) {
        EXPECT_EQ(Config(no).boolean(), false) << no;
    }
    for (const Config& nothing :
         {Config("yes"), Config(""), Config(1.0f), Config(), Config(Config::Array{})}) {
        EXPECT_FALSE(nothing.boolean().has_value()) << nothing.description();
    }
}

TEST(ConfigReaders, ReadIntegersOnlyFromIntegersButFloatsFromBoth) {
    EXPECT_FALSE(Config(5.0f).integer().has_value());
    EXPECT_EQ(Config(std::numeric_limits<std::int64_t>::max()).floating(), 9223372036854775807.0f);
    EXPECT_FALSE(Config(true).floating().has_value());
}

TEST(ConfigReaders, ReadTokenPairsInTheFilesTextThenIdOrder) {
    EXPECT_EQ(Config(Config::Array{"[SEP]", 2}).token(),
              std::make_pair(std::uint64_t{2}, std::string("[SEP]")));
    EXPECT_FALSE(Config(Config::Array{2, "[SEP]"}).token().has_value());
    EXPECT_FALSE(Config(Config::Array{"[SEP]", 2, 3}).token().has_value());
    EXPECT_FALSE(Config(Config::Array{"[SEP]", -1}).token().has_value());
    EXPECT_EQ(Config(Config::Token{9, BinaryDistinctString("x")}).token(),
              std::make_pair(std::uint64_t{9}, std::string("x")));
}

TEST(ConfigReaders, ListStringsOfAnArraySkippingOtherKinds) {
    EXPECT_EQ(Config(Config::Array{"a", 1, "b", Config()}).get(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Config(Config::Array{}).get(), std::vector<std::string>{});
    EXPECT_FALSE(Config("a").get().has_value());
}

TEST(ConfigLiterals, LaterDuplicateKeyWins) {
    Config config = Config::fromPairs({{"k", 1}, {"k", 2}});
    EXPECT_EQ(config.dictionary()->size(), 1u);
    EXPECT_EQ(config["k"].integer(), 2);
}

TEST(ConfigEquality, FollowsTheCrossKindTable) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        Config a, b;
        bool equal;
    };
    const Case cases[] = {
        {Config(1), Config(1.0f), true},
        {Config(1), Config(true), true},
        {Config(5), Config(false), true},
        {Config(0), Config(false), true},
        {Config(5), Config(0), false},
        {Config(16777217), Config(16777216.0f), true}, // the integer rounds to the same float
        {Config("T"), Config(true), true},
        {Config("false"), Config(false), true},
        {Config("yes"), Config(false), false},
        {Config("1"), Config(1), false},
        {Config("1"), Config(1.0f), false},
        {Config(1.0f), Config(true), false},
        {Config(0.0f), Config(-0.0f), true},
        {Config(nan), Config(nan), false},
        {Config(), Config(), true},
        {Config(), Config(0), false},
        {Config(Config::Array{1}), Config(1), false},
        {Config(Config::Array{1, "a"}), Config(Config::Array{1.0f, "a"}), true},
        {Config(Config::Array{1}), Config(Config::Array{1, 2}), false},
        {Config(Config::Token{2, BinaryDistinctString("a")}), Config(Config::Array{"a", 2}), false},
        {Config(Config::Token{2, BinaryDistinctString("a")}),
         Config(Config::Token{2, BinaryDistinctString("a")}), true},
        {Config::fromPairs({{"a", 1}}), Config::fromPairs({{"a", true}}), true},
        {Config::fromPairs({{"a", 1}}), Config::fromPairs({{"a", 1}, {"b", 1}}), false},
        {Config::fromPairs({{"a", 1}}), Config::fromPairs({{"b", 1}}), false},
        {Config("\u00E9"), Config("e\u0301"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal) << c.a.description() << " vs " << c.b.description();
        EXPECT_EQ(c.b == c.a, c.equal) << c.b.description() << " vs " << c.a.description();
    }
}

TEST(ConfigDescription, WrapsListTextsInTheirOwnBrackets) {
    EXPECT_EQ(Config(Config::Array{1, 2}).description(), "[[1, 2]]");
    EXPECT_EQ(Config::fromPairs({{"a", 1}}).description(), "{[a: 1]}");
    EXPECT_EQ(Config(Config::Dictionary{}).description(), "{[:]}");
    EXPECT_EQ(Config(Config::Array{}).description(), "[[]]");
    EXPECT_EQ(Config("say \"hi\"").description(), "\"say \"hi\"\"");
    EXPECT_EQ(Config(-42).description(), "-42");
    EXPECT_EQ(Config(false).description(), "false");
    EXPECT_EQ(Config().description(), "null");
    EXPECT_EQ(Config(Config::Token{3, BinaryDistinctString("x")}).description(), "(3, x)");
    EXPECT_EQ(Config::fromPairs({{"b", Config::Array{"x"}}, {"a", Config()}}).description(),
              "{[a: null, b: [[\"x\"]]]}");
}

TEST(ConfigDescription, WritesFloatsInTheirShortestFormWithIntegralOnesKeepingPointZero) {
    EXPECT_EQ(Config(1.0f).description(), "1.0");
    EXPECT_EQ(Config(-3.0f).description(), "-3.0");
    EXPECT_EQ(Config(0.1f).description(), "0.1");
    EXPECT_EQ(Config(0.5f).description(), "0.5");
    EXPECT_EQ(Config(-0.0f).description(), "-0.0");
    // Whole values keep ".0" up to 2^24; exponent form only beyond that and below 1e-4.
    EXPECT_EQ(Config(1e6f).description(), "1000000.0");
    EXPECT_EQ(Config(16777216.0f).description(), "16777216.0");
    EXPECT_EQ(Config(1e8f).description(), "1e+08");
    EXPECT_EQ(Config(0.0001f).description(), "0.0001");
    EXPECT_EQ(Config(0.00001f).description(), "1e-05");
    EXPECT_EQ(Config(1e30f).description(), "1e+30");
    EXPECT_EQ(Config(std::numeric_limits<float>::infinity()).description(), "inf");
}
