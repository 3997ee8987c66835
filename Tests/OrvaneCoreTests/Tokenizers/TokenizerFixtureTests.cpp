// The byte-level tokenizers built from real files reproduce the outputs of an independent implementation
// (Tests/Data/tokenizers/expected), through the library and through orvane-tokenize.

#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using namespace tokenizertest;

class ByteLevelFixture : public testing::TestWithParam<std::string> {};

TEST_P(ByteLevelFixture, MatchesExpectedIdsTokensAndDecodedText) {
    const auto& tokenizer = fixtureTokenizer(GetParam());
    auto expected = expectedLines(GetParam());
    ASSERT_FALSE(expected.empty());
    for (const auto& line : expected) {
        std::string text = line["text"];
        SCOPED_TRACE(text);
        EXPECT_EQ(tokenizer.encode(text), line["ids_with_special"].get<std::vector<orvane::TokenId>>());
        EXPECT_EQ(tokenizer.encode(text, false), line["ids_without_special"].get<std::vector<orvane::TokenId>>());
        EXPECT_EQ(tokenizer.tokenize(text), line["tokens"].get<std::vector<std::string>>());
        auto ids = line["ids_with_special"].get<std::vector<orvane::TokenId>>();
        EXPECT_EQ(tokenizer.decode(ids), line["decoded"].get<std::string>());
        EXPECT_EQ(tokenizer.decode(ids, true), line["decoded_skip_special"].get<std::string>());
    }
}

INSTANTIATE_TEST_SUITE_P(Tokenizers, ByteLevelFixture,
                         testing::Values("gpt2", "whisper-en", "whisper-large-v3", "whisper-multilingual"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

TEST(ByteLevelFixture, SpeechTokensAreAddedTokensThatDecodeAsThemselves) {
    const auto& tokenizer = fixtureTokenizer("whisper-large-v3");
    EXPECT_EQ(tokenizer.convertTokenToId("<|0.00|>"), 50365);
    EXPECT_EQ(tokenizer.convertTokenToId("<|notimestamps|>"), 50364);
    // Timestamps are added but not special tokens: skipping special tokens keeps them.
    EXPECT_EQ(tokenizer.decode({50258, 50365, 15947, 50257}, true), "<|0.00|>Hello");
    EXPECT_EQ(tokenizer.encode("<|0.00|> Hello<|endoftext|>", false), (std::vector<orvane::TokenId>{50365, 2425, 50257}));
    EXPECT_EQ(tokenizer.eosToken(), "<|endoftext|>");
    EXPECT_EQ(tokenizer.unknownTokenId(), 50257);
}

TEST(ByteLevelFixture, AnyBytesEncodeAndDecodeBackWithoutFailing) {
    const auto& tokenizer = fixtureTokenizer("whisper-large-v3");
    std::string invalid = "ok \xC3 \xFF\xFE cut \xE3\x81 end";
    auto ids = tokenizer.encode(invalid, false);
    EXPECT_EQ(tokenizer.decode(ids), "ok \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD cut \xEF\xBF\xBD end");

    std::string mixed = "Grüße, 東京! e\xCC\x81 \t\n\r\n 👩‍👩‍👧 <|en|>";
    EXPECT_EQ(tokenizer.decode(tokenizer.encode(mixed, false)), mixed);
    // Cut UTF-8 from part of a token's bytes becomes U+FFFD instead of failing.
    EXPECT_EQ(tokenizer.decode({tokenizer.encode("晴", false).front()}), "\xEF\xBF\xBD");
    EXPECT_EQ(tokenizer.decode({}), "");
    EXPECT_EQ(tokenizer.decode({-1, 999999}), "");
}

TEST(ByteLevelFixture, LongRunsOfOneKindTokenizeWhole) {
    const auto& tokenizer = fixtureTokenizer("whisper-large-v3");
    for (const std::string& unit : {std::string(" "), std::string("a"), std::string("7"), std::string("\xE3\x81\x82")}) {
        std::string text;
        for (int i = 0; i < 200000; ++i) text += unit;
        EXPECT_EQ(tokenizer.decode(tokenizer.encode(text, false)), text);
    }
    // Text full of near-misses of the 1,600 speech tokens ("<|", "<|0.0").
    std::string nearMisses;
    for (int i = 0; i < 20000; ++i) nearMisses += i % 2 ? "<|0.0 " : "a<|";
    EXPECT_EQ(tokenizer.decode(tokenizer.encode(nearMisses, false)), nearMisses);
}

std::string runTool(const std::string& arguments, int* status = nullptr) {
    std::string output;
    int code = testsupport::runCommand(testsupport::toolPath("orvane-tokenize").string() + " " + arguments, &output);
    if (status) *status = code;
    return output;
}

TEST(OrvaneTokenizeTool, JsonlModeAnswersEachLineWithTheExpectedFields) {
    testsupport::TemporaryDirectory directory;
    auto expected = expectedLines("whisper-large-v3");
    std::string input;
    for (const auto& line : expected) {
        input += nlohmann::json{{"text", line["text"]}}.dump() + "\n";
        input += nlohmann::json{{"ids", line["ids_with_special"]}}.dump() + "\n";
    }
    input += "not json\n";
    testsupport::writeFile(directory / "input.jsonl", input);
    int status = -1;
    std::string output = runTool("--folder " + testsupport::dataPath("tokenizers/whisper-large-v3").string() +
                                     " --jsonl < " + (directory / "input.jsonl").string(),
                                 &status);
    ASSERT_EQ(status, 0);
    std::istringstream lines(output);
    std::vector<nlohmann::json> answers;
    for (std::string line; std::getline(lines, line);) answers.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(answers.size(), expected.size() * 2 + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& encoded = answers[2 * i];
        const auto& decoded = answers[2 * i + 1];
        EXPECT_EQ(encoded["ids_with_special"], expected[i]["ids_with_special"]);
        EXPECT_EQ(encoded["ids_without_special"], expected[i]["ids_without_special"]);
        EXPECT_EQ(encoded["tokens"], expected[i]["tokens"]);
        EXPECT_EQ(decoded["decoded"], expected[i]["decoded"]);
        EXPECT_EQ(decoded["decoded_skip_special"], expected[i]["decoded_skip_special"]);
    }
    EXPECT_TRUE(answers.back().contains("error"));
}

TEST(OrvaneTokenizeTool, SingleCommands) {
    std::string folder = "--folder " + testsupport::dataPath("tokenizers/whisper-en").string();
    EXPECT_EQ(runTool(folder + " --encode 'Hello, world!'"), "50257 50362 15496 11 995 0 50256\n");
    EXPECT_EQ(runTool(folder + " --encode 'Hello, world!' --no-special"), "15496 11 995 0\n");
    EXPECT_EQ(runTool(folder + " --tokenize ' leading space'"), "Ġleading\nĠspace\n");
    EXPECT_EQ(runTool(folder + " --decode 50257,15496,11,995,0"), "<|startoftranscript|>Hello, world!\n");
    EXPECT_EQ(runTool(folder + " --decode 50257,15496,11,995,0 --skip-special"), "Hello, world!\n");
    int status = 0;
    runTool(folder + " --decode 1,,2", &status);
    EXPECT_EQ(status, 2);
}

TEST(OrvaneTokenizeTool, ExplainsFoldersItCannotBuildFrom) {
    testsupport::TemporaryDirectory directory;
    int status = 0;
    std::string command = "--folder " + directory.path().string() + " --encode x 2>&1";
    EXPECT_NE(runTool(command, &status).find("tokenizer.json"), std::string::npos);
    EXPECT_EQ(status, 1);

    testsupport::writeFile(directory / "tokenizer.json", "{\"model\": ");
    std::string output = runTool(command, &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("JSON Serialization failed for file://" + (directory / "tokenizer.json").string() + ": "),
              std::string::npos)
        << output;

    testsupport::writeFile(directory / "tokenizer.json",
                           testsupport::readFile(testsupport::dataPath("tokenizers/whisper-en/tokenizer.json")));
    EXPECT_NE(runTool(command, &status).find("Tokenizer configuration is missing."), std::string::npos);
    testsupport::writeFile(directory / "tokenizer_config.json", "{}");
    EXPECT_NE(runTool(command, &status).find("The tokenizer class is not specified in the configuration."),
              std::string::npos);
    EXPECT_EQ(status, 1);
    // The class comes from config.json's model type when the tokenizer configuration has none.
    testsupport::writeFile(directory / "config.json", R"({"model_type": "whisper"})");
    EXPECT_EQ(runTool(command, &status), "50257 50362 87 50256\n");
    EXPECT_EQ(status, 0);
}

TEST(OrvaneTokenizeTool, ClassFromConfigPicksTheWordMarkerVariant) {
    testsupport::TemporaryDirectory directory;
    testsupport::writeFile(directory / "tokenizer_config.json",
                           R"({"tokenizer_class": "LlamaTokenizerFast", "legacy": false})");
    testsupport::writeFile(directory / "tokenizer.json", R"({"model": {"type": "BPE", "merges": ["▁ a", "▁ b"],
        "vocab": {"▁": 0, "a": 1, "b": 2, "▁a": 3, "▁b": 4}}})");
    std::string folder = "--folder " + directory.path().string();
    // A folder gets the general class; the hub's choice rewrites the data for word markers.
    EXPECT_EQ(runTool(folder + " --encode 'a b'"), "1 2\n");
    EXPECT_EQ(runTool(folder + " --class-from-config --encode 'a b'"), "3 4\n");
}

} // namespace
