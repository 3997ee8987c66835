// The WordPiece, unigram and Llama-style tokenizers built from real files reproduce the outputs of an
// independent implementation (Tests/Data/tokenizers/expected) through orvane-tokenize, except where this
// system's tokenizer rules give another answer; each such case is listed and pinned down below.

#include "OrvaneCore/External/Tokenizers/Pipeline/LlamaPreTrainedTokenizer.h"
#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <thread>
#include <sstream>

namespace {

using namespace tokenizertest;
using Tokens = std::vector<std::string>;
using Ids = std::vector<orvane::TokenId>;

struct Fixture {
    std::string name;
    bool classFromConfig;
    /// Lines (0-based) whose ids and tokens differ from the reference by this system's rules.
    std::set<std::size_t> differentLines;
    /// Lines where only the token texts differ (the ids agree).
    std::set<std::size_t> differentTokenTexts;
};

std::vector<nlohmann::json> toolAnswers(const Fixture& fixture, const std::vector<nlohmann::json>& expected) {
    testsupport::TemporaryDirectory directory;
    std::string input;
    for (const auto& line : expected) input += nlohmann::json{{"text", line["text"]}}.dump() + "\n";
    for (const auto& line : expected) input += nlohmann::json{{"ids", line["ids_with_special"]}}.dump() + "\n";
    testsupport::writeFile(directory / "input.jsonl", input);
    std::string output;
    const int status = testsupport::runCommand(
        testsupport::toolPath("orvane-tokenize").string() + " --folder " +
            testsupport::dataPath("tokenizers/" + fixture.name).string() +
            (fixture.classFromConfig ? " --class-from-config" : "") + " --jsonl < " + (directory / "input.jsonl").string(),
        &output);
    EXPECT_EQ(status, 0);
    std::istringstream lines(output);
    std::vector<nlohmann::json> answers;
    for (std::string line; std::getline(lines, line);) answers.push_back(nlohmann::json::parse(line));
    return answers;
}

class RealTokenizerFiles : public testing::TestWithParam<Fixture> {};

TEST_P(RealTokenizerFiles, OrvaneTokenizeMatchesTheReferenceOutsideTheListedDifferences) {
    const Fixture& fixture = GetParam();
    const auto expected = expectedLines(fixture.name);
    const auto answers = toolAnswers(fixture, expected);
    ASSERT_EQ(answers.size(), expected.size() * 2);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i]["text"].get<std::string>());
        const auto& encoded = answers[i];
        const auto& decoded = answers[expected.size() + i];
        EXPECT_EQ(decoded["decoded"], expected[i]["decoded"]);
        EXPECT_EQ(decoded["decoded_skip_special"], expected[i]["decoded_skip_special"]);
        const bool idsDiffer = fixture.differentLines.contains(i);
        const bool tokensDiffer = idsDiffer || fixture.differentTokenTexts.contains(i);
        // A listed difference that disappears means the list (and the notes) must be updated.
        EXPECT_EQ(encoded["ids_with_special"] != expected[i]["ids_with_special"], idsDiffer);
        EXPECT_EQ(encoded["ids_without_special"] != expected[i]["ids_without_special"], idsDiffer);
        EXPECT_EQ(encoded["tokens"] != expected[i]["tokens"], tokensDiffer);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tokenizers, RealTokenizerFiles,
    testing::Values(Fixture{"bert-base-uncased", false, {4}, {}}, Fixture{"t5-small", false, {}, {3, 4, 8}},
                    Fixture{"tinyllama", true, {2, 5}, {}},
                    Fixture{"tinyllama-metaspace", true, {0, 2, 3, 4, 5, 6, 7, 8, 9}, {}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

const orvane::PreTrainedTokenizer& llamaTokenizer(const std::string& name) {
    static std::map<std::string, std::unique_ptr<orvane::PreTrainedTokenizer>> built;
    auto& tokenizer = built[name];
    if (!tokenizer) {
        tokenizer = std::make_unique<orvane::LlamaPreTrainedTokenizer>(
            jsonFile(name + "/tokenizer_config.json"), jsonFile(name + "/tokenizer.json"), true);
    }
    return *tokenizer;
}

// Word-piece positions are user-perceived characters: a Hangul syllable is one character even after
// accent stripping decomposed it, and the vocabulary holds only its separate jamo, so the word is unknown.
TEST(RealTokenizerFiles, BertHangulSyllablesAreWholeCharactersOfTheWordPieceStep) {
    orvane::PreTrainedTokenizer tokenizer(json(R"({"do_lower_case": true, "tokenizer_class": "BertTokenizer"})"),
                                          jsonFile("bert-base-uncased/tokenizer.json"), true);
    EXPECT_EQ(tokenizer.tokenize("with \ud55c\uad6d\uc5b4 and"), (Tokens{"with", "[UNK]", "and"}));
    EXPECT_EQ(tokenizer.encode("\ud55c\uad6d\uc5b4"), (Ids{101, 100, 102}));
    EXPECT_EQ(tokenizer.tokenize("Caf\u00e9 cafe\u0301"), (Tokens{"cafe", "cafe"}));
}

// Fusing a run of unknown tokens keeps the first token's text, whatever the rest of the run held.
TEST(RealTokenizerFiles, T5FusedUnknownPiecesKeepTheFirstPieceText) {
    const auto& tokenizer = fixtureTokenizer("t5-small");
    EXPECT_EQ(tokenizer.tokenize("\u65e5\u672c\u8a9e\u306e"), (Tokens{"\u2581", "\u65e5"}));
    EXPECT_EQ(tokenizer.encode("\u65e5\u672c\u8a9e\u306e"), (Ids{3, 2, 1}));
    EXPECT_EQ(tokenizer.tokenize("{{y}}"), (Tokens{"\u2581", "{", "y", "}"}));
}

// The word-marker pre-tokenizer cuts before every marker (its "split" setting is not read), so a run of
// blanks gives one marker token per blank.
TEST(RealTokenizerFiles, TinyLlamaBlankRunsGiveOneMarkerPerBlank) {
    const auto& tokenizer = llamaTokenizer("tinyllama");
    EXPECT_EQ(tokenizer.tokenize("  multiple"), (Tokens{"\u2581", "\u2581", "\u2581multiple"}));
    EXPECT_EQ(tokenizer.encode("a  b", false), (Ids{263, 29871, 289}));
}

// Merge symbols are user-perceived characters: "e" with a combining accent is one symbol, and its exact
// text is not in the vocabulary (which holds the precomposed form), so it falls back to bytes.
TEST(RealTokenizerFiles, TinyLlamaCombiningAccentsStayWithTheirLetter) {
    const auto& tokenizer = llamaTokenizer("tinyllama");
    EXPECT_EQ(tokenizer.tokenize("\u00e9"), (Tokens{"\u2581\u00e9"}));
    EXPECT_EQ(tokenizer.tokenize("e\u0301"),
              (Tokens{"<0xE2>", "<0x96>", "<0x81>", "<0x65>", "<0xCC>", "<0x81>"}));
    // The marker's own bytes come back as the marker: the decoder turns markers into blanks before it
    // turns bytes into text.
    EXPECT_EQ(tokenizer.decode(tokenizer.encode("e\u0301 x")), "<s>\u2581e\u0301 x");
}

// Without "legacy": false the data keep their own pre-tokenizer, whose marker is only put in front when
// add_prefix_space is set, which this file does not set: the first word has no marker.
TEST(RealTokenizerFiles, TinyLlamaMetaspaceKeepsItsOwnPreTokenizerWithoutAPrefix) {
    const auto& tokenizer = llamaTokenizer("tinyllama-metaspace");
    EXPECT_TRUE(static_cast<const orvane::LlamaPreTrainedTokenizer&>(tokenizer).isLegacy());
    EXPECT_EQ(tokenizer.tokenize("Hello world"), (Tokens{"Hello", "\u2581world"}));
    EXPECT_EQ(tokenizer.tokenize(" Hello"), (Tokens{"\u2581Hello"}));
    EXPECT_EQ(tokenizer.decode(tokenizer.encode("Hello world")), "<s>Hello world");
}

// Built tokenizers are shared read-only between threads; concurrent use must give the sequential answers.
TEST(RealTokenizerFiles, ConcurrentEncodingAgreesWithSequential) {
    const auto& unigram = fixtureTokenizer("t5-small");
    const auto& llama = llamaTokenizer("tinyllama");
    const auto lines = expectedLines("t5-small");
    std::vector<Ids> unigramIds;
    std::vector<Ids> llamaIds;
    for (const auto& line : lines) {
        unigramIds.push_back(unigram.encode(line["text"].get<std::string>()));
        llamaIds.push_back(llama.encode(line["text"].get<std::string>()));
    }
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 10; ++round) {
                for (std::size_t i = 0; i < lines.size(); ++i) {
                    const std::string text = lines[i]["text"].get<std::string>();
                    mismatches[t] += unigram.encode(text) != unigramIds[i];
                    mismatches[t] += llama.encode(text) != llamaIds[i];
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

} // namespace
