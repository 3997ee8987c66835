#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Hub/Configuration/ConfigJson.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using orvane::BinaryDistinctString;
using orvane::BomPreservingJsonReader;
using orvane::Config;

namespace {

Config read(std::string_view text) {
    return BomPreservingJsonReader::bomPreservingJsonObject(text);
}

std::string parseErrorOf(std::string_view text) {
    try {
        read(text);
    } catch (const BomPreservingJsonReader::ParseError& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace

TEST(ConfigFileReading, TurnsBooleansAndIntegralNumbersIntoIntegers) {
    Config config = read(R"({"add_prefix_space": true, "off": false, "a": 2, "b": 2.0, "c": 2e0, "d": -0.0,
                             "big": 9223372036854775807, "small": -9223372036854775808})");
    EXPECT_EQ(config["addPrefixSpace"].kind(), Config::Kind::integer);
    EXPECT_EQ(config["addPrefixSpace"].boolean(), true);
    EXPECT_EQ(config["off"].integer(), 0);
    for (const char* name : {"a", "b", "c"}) {
        EXPECT_EQ(config[name].integer(), 2) << name;
    }
    EXPECT_EQ(config["d"].integer(), 0);
    EXPECT_EQ(config["big"].integer(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(config["small"].integer(), std::numeric_limits<std::int64_t>::min());
}

TEST(ConfigFileReading, TurnsFractionsAndHugeIntegersIntoTheNearestFloat) {
    // tokenizer_config.json files write "no limit" as this 1e30 integer.
    Config config = read(R"({"half": 0.5, "tenth": 0.1, "limit": 1000000000000000019884624838656,
                             "unsigned": 18446744073709551615, "above": 9223372036854775808, "tiny": -1e-3})");
    EXPECT_EQ(config["half"].kind(), Config::Kind::floating);
    EXPECT_EQ(config["half"].floating(), 0.5f);
    EXPECT_EQ(config["tenth"].floating(), 0.1f);
    EXPECT_EQ(config["limit"].floating(), 1e30f);
    EXPECT_FALSE(config["limit"].integer().has_value());
    EXPECT_EQ(config["unsigned"].floating(), 18446744073709551616.0f);
    EXPECT_EQ(config["above"].floating(), 9223372036854775808.0f);
    EXPECT_EQ(config["tiny"].floating(), -0.001f);
}

TEST(ConfigFileReading, ReportsUnreadableDocumentsAsParseErrorsWithAReason) {
    EXPECT_EQ(parseErrorOf(R"({"a": 1e400})"), "number overflow parsing '1e400'");
    EXPECT_NE(parseErrorOf(R"({"a": [1,)").find("unexpected end of input"), std::string::npos);
    EXPECT_NE(parseErrorOf(R"({"a": tru})").find("line 1"), std::string::npos);
    EXPECT_NE(parseErrorOf("{} trailing"), "(no error)");
    EXPECT_NE(parseErrorOf(""), "(no error)");
    EXPECT_NE(parseErrorOf("{\"a\": \"\xff\"}"), "(no error)");
}

TEST(ConfigFileReading, RefusesNestingDeepEnoughToExhaustTheStack) {
    const auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_NO_THROW(read(nested(orvane::maximumConfigDepth)));
    EXPECT_NE(parseErrorOf(nested(orvane::maximumConfigDepth + 1)).find("too many nested"),
              std::string::npos);
    EXPECT_NE(parseErrorOf(nested(200000)).find("too many nested"), std::string::npos);
    EXPECT_THROW(nlohmann::json::parse(nested(orvane::maximumConfigDepth + 1)).get<Config>(),
                 std::invalid_argument);
}

TEST(ConfigFileReading, KeepsAByteOrderMarkThatStartsAStringExactlyOnce) {
    const std::string bom = "\xEF\xBB\xBF";
    Config config = read(bom + R"({"vocab": {")" + bom + R"(": 5}, "text": ")" + bom + bom +
                         "x\", \"tail\": \"a" + bom + "\"}");
    const auto& vocab = *config["vocab"].dictionary();
    ASSERT_EQ(vocab.size(), 1u);
    EXPECT_EQ(vocab.begin()->first.value(), u"\uFEFF");
    EXPECT_EQ(config["text"].binaryDistinctString()->value(), u"\uFEFF\uFEFFx");
    EXPECT_EQ(config["tail"].binaryDistinctString()->value(), u"a\uFEFF");
    // A mark before the document's first value is not part of any value.
    EXPECT_EQ(read(bom + "[\"a\"]").get(), std::vector<std::string>{"a"});
}

TEST(ConfigFileReading, KeepsKeysThatDifferOnlyInCodeUnitsApartAndTheLastOfDuplicates) {
    Config config =
        read("{\"\u00E9\": 1, \"e\u0301\": 2, \"k\": 1, \"k\": 3, \"nested\": {\"k\": [1, {\"k\": 4}]}}");
    EXPECT_EQ(config.dictionary()->size(), 4u);
    EXPECT_EQ(config["\u00E9"].integer(), 1);
    EXPECT_EQ(config["e\u0301"].integer(), 2);
    EXPECT_EQ(config["k"].integer(), 3);
    EXPECT_EQ((*config["nested"]["k"].array())[1]["k"].integer(), 4);
}

TEST(ConfigFileReading, AgreesWithTheTreeConversionOnARealTokenizerFile) {
    const std::string text = testsupport::readFile(testsupport::dataPath("tokenizers/gpt2/tokenizer.json"));
    Config streamed = read(text);
    Config converted = orvane::configFromJsonObject(nlohmann::json::parse(text));
    EXPECT_TRUE(streamed == converted);
    EXPECT_EQ(streamed["model"]["vocab"].dictionary()->size(), 50257u);
    EXPECT_EQ(streamed["model"]["vocab"]["hello"].integer(), 31373);
    EXPECT_EQ(streamed["addedTokens"].array()->size(), 1u);
    EXPECT_EQ(streamed["model"]["merges"].array()->size(), 50000u);
}

TEST(ConfigDecoding, KeepsBooleansAndRecognisesTokensOnlyInIdTextOrder) {
    Config config = nlohmann::json::parse(R"({"flag": true, "pair": [2, "x"], "reversed": ["x", 2],
                                              "negative": [-1, "x"], "n": 2.0, "f": 0.5, "none": null})")
                        .get<Config>();
    EXPECT_EQ(config["flag"].kind(), Config::Kind::boolean);
    EXPECT_EQ(config["pair"].kind(), Config::Kind::token);
    EXPECT_EQ(config["pair"].token(), std::make_pair(std::uint64_t{2}, std::string("x")));
    EXPECT_EQ(config["reversed"].kind(), Config::Kind::array);
    EXPECT_EQ(config["negative"].kind(), Config::Kind::array);
    EXPECT_EQ(config["n"].integer(), 2);
    EXPECT_EQ(config["f"].floating(), 0.5f);
    EXPECT_TRUE(config["none"].isNull());
}

TEST(ConfigEncoding, WritesEveryKindAndReadsBackTheSameValue) {
    Config config = Config::fromPairs({{"s", "caf\u00E9"},
                                       {"i", -7},
                                       {"b", true},
                                       {"f", 0.1f},
                                       {"a", Config::Array{1, Config()}},
                                       {"t", Config::Token{4, BinaryDistinctString("x")}},
                                       {"d", Config::Dictionary{}}});
    nlohmann::json json = config;
    EXPECT_EQ(json.dump(), R"({"a":[1,null],"b":true,"d":{},"f":0.1,"i":-7,"s":"café","t":[4,"x"]})");
    Config back = json.get<Config>();
    EXPECT_TRUE(back == config);
    EXPECT_EQ(back["t"].kind(), Config::Kind::token);
    EXPECT_EQ(back["b"].kind(), Config::Kind::boolean);
}
