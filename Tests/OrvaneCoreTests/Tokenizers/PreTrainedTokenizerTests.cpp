// The pre-trained tokenizer pipeline on small configurations: added-token splitting, the model
// registry, unknown-token fusing, post-processing, decoding and clean-up.

#include "OrvaneCore/External/Tokenizers/Models/TokenizerModel.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerWrapper.h"
#include "OrvaneCore/Logging/Logging.h"

#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace tokenizertest;
using orvane::PreTrainedTokenizer;
using orvane::TokenizerError;
using Strings = std::vector<std::string>;
using Ids = std::vector<orvane::TokenId>;

// Characters a..e are ids 0..4, "ab" 5, "<unk>" 6; added tokens "<a>" 7, "<abc>" 8 (special), "<s>" 9.
std::string data(const std::string& addedTokens, const std::string& stages = "") {
    return R"({"added_tokens": )" + addedTokens + R"(, "model": {"type": "BPE", "merges": ["a b"],
        "vocab": {"a": 0, "b": 1, "c": 2, "d": 3, "e": 4, "ab": 5, "<unk>": 6, " ": 10}})" + stages + "}";
}

const std::string addedTokens = R"([
    {"id": 7, "content": "<a>", "special": false},
    {"id": 8, "content": "<abc>", "special": true},
    {"id": 9, "content": "<s>", "special": true, "lstrip": true, "rstrip": true},
    {"content": "<noid>"},
    {"id": 11, "content": 5},
    "junk"])";

PreTrainedTokenizer make(const std::string& tokenizerData, const std::string& config = R"({"tokenizer_class": "GPT2Tokenizer"})",
                         bool strict = true) {
    return PreTrainedTokenizer(json(config), json(tokenizerData), strict);
}

std::string failure(const std::string& tokenizerData, const std::string& config, bool strict = true) {
    return errorOf([&] { make(tokenizerData, config, strict); }, "no error");
}

TEST(PreTrainedTokenizer, CutsAddedTokensOutLongestFirst) {
    auto tokenizer = make(data(addedTokens));
    EXPECT_EQ(tokenizer.tokenize("ab<abc>c<a>d"), (Strings{"ab", "<abc>", "c", "<a>", "d"}));
    EXPECT_EQ(tokenizer.encode("ab<abc>c<a>d"), (Ids{5, 8, 2, 7, 3}));
    // "lstrip"/"rstrip" swallow the blanks beside the token.
    EXPECT_EQ(tokenizer.tokenize("a  <s>  b"), (Strings{"a", "<s>", "b"}));
    // Without them the blanks stay in the neighbouring sections (where this model, with no
    // pre-tokenizer, loses a blank inside a piece).
    EXPECT_EQ(tokenizer.tokenize("a <a> b"), (Strings{"a", "<a>", "b"}));
    EXPECT_EQ(tokenizer.tokenize(" <a>"), (Strings{"<a>"}));
    // A token without an id still cuts the text, but its text is tokenized like any other.
    EXPECT_EQ(tokenizer.tokenize("a<noid>"), (Strings{"a", "<0x3C>", "<0x6E>", "<0x6F>", "<0x69>", "d", "<0x3E>"}));
    EXPECT_TRUE(tokenizer.addedTokens().contains("<a>"));
    EXPECT_FALSE(tokenizer.addedTokens().contains("<noid>"));
    EXPECT_EQ(tokenizer.specialTokens(), (std::unordered_map<std::string, orvane::TokenId>{{"<abc>", 8}, {"<s>", 9}}));
}

TEST(PreTrainedTokenizer, ASplitExpressionThatGivesUpKeepsThePieceWholeAndIsLoggedOnce) {
    std::vector<std::string> logged;
    orvane::Logging::updateLogLevel(orvane::Logging::LogLevel::error);
    orvane::Logging::updateCallback([&](const std::string& line) { logged.push_back(line); });
    for (const char* pattern : {"(a+)+$", "^++$"}) {
        auto tokenizer = make(data("[]", R"(, "pre_tokenizer": {"type": "Split", "pattern": {"Regex": ")" +
                                             std::string(pattern) + R"("}, "behavior": "Isolated"})"));
        const std::string text = std::string(40, 'a') + "b";
        Strings whole(39, "a");
        whole.push_back("ab");
        for (int run = 0; run < 3; ++run) {
            EXPECT_EQ(tokenizer.tokenize(text), whole) << pattern;
            EXPECT_EQ(tokenizer.decode(tokenizer.encode(text)), text) << pattern;
        }
    }
    orvane::Logging::updateCallback(nullptr);
    orvane::Logging::updateLogLevel(orvane::Logging::LogLevel::none);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find("Split pre-tokenizer: Regular expression \"(a+)+$\" gave up"), std::string::npos)
        << logged[0];
    EXPECT_NE(logged[1].find("\"^++$\""), std::string::npos) << logged[1];
}

TEST(PreTrainedTokenizer, LongBlankRunsBeforeAStrippingTokenStayLinear) {
    auto tokenizer = make(data(addedTokens));
    std::string blanks(300000, ' ');
    // Every blank before "<s>" belongs to it; a run not followed by it stays ordinary text.
    EXPECT_EQ(tokenizer.tokenize("a" + blanks + "<s>" + blanks + "b"), (Strings{"a", "<s>", "b"}));
    EXPECT_EQ(tokenizer.tokenize("a" + blanks + "b"), (Strings{"a", "b"}));
    EXPECT_EQ(tokenizer.tokenize("a \t<s>\n b"), (Strings{"a", "<s>", "b"}));
}

TEST(PreTrainedTokenizer, AddedTokenPatternOrderAndEscaping) {
    auto tokenizer = make(data(R"([{"id": 7, "content": "<a>"}, {"id": 8, "content": "<abc>"},
                                   {"id": 9, "content": "x.y"}, {"id": 10, "content": "<b>"}])"));
    ASSERT_TRUE(tokenizer.addedTokensRegex());
    // Longest first; equal lengths keep the file's order.
    EXPECT_EQ(tokenizer.addedTokensRegex()->pattern(), R"((\<abc\>)|(\<a\>)|(x\.y)|(\<b\>))");
    EXPECT_EQ(tokenizer.tokenize("xzy"), (Strings{"<0x78>", "<0x7A>", "<0x79>"}));
    // No usable added token: no expression, the whole text is one section.
    EXPECT_FALSE(make(data("[]")).addedTokensRegex());
    EXPECT_FALSE(make(data(R"([{"id": 3, "content": ""}])")).addedTokensRegex());
    EXPECT_EQ(make(data(R"([{"id": 3, "content": ""}])")).tokenize("ab"), Strings{"ab"});
}

TEST(PreTrainedTokenizer, OnlyTheFirstSectionIsPreTokenizedAsFirst) {
    std::string metaspace = R"(, "pre_tokenizer": {"type": "Metaspace", "replacement": "▁",
                                   "add_prefix_space": true, "prepend_scheme": "first"})";
    auto tokenizer = make(data(addedTokens, metaspace));
    EXPECT_EQ(tokenizer.tokenize("ab<a>ab"), (Strings{"<0xE2>", "<0x96>", "<0x81>", "ab", "<a>", "ab"}));
    // A text that begins with an added token has no first section of ordinary text.
    EXPECT_EQ(tokenizer.tokenize("<a>ab"), (Strings{"<a>", "ab"}));
}

TEST(PreTrainedTokenizer, FusesRunsOfUnknownTokensWithinASection) {
    std::string config = R"({"tokenizer_class": "GPT2Tokenizer", "unk_token": "<unk>", "fuse_unk": true})";
    std::string wordPieces = R"(, "pre_tokenizer": {"type": "Split", "pattern": {"String": "|"}, "invert": true})";
    auto tokenizer = make(data(addedTokens, wordPieces), config);
    // "x", "y", "z" become byte tokens the vocabulary lacks: unknown, fused to the first.
    EXPECT_EQ(tokenizer.tokenize("a|x|y|z|b"), (Strings{"a", "<0x78>", "b"}));
    EXPECT_EQ(tokenizer.encode("a|x|y|z|b"), (Ids{0, 6, 1}));
    // Neighbouring sections keep their own unknown tokens.
    EXPECT_EQ(tokenizer.tokenize("x<a>y"), (Strings{"<0x78>", "<a>", "<0x79>"}));
    auto unfused = make(data(addedTokens, wordPieces), R"({"tokenizer_class": "GPT2Tokenizer", "unk_token": "<unk>"})");
    EXPECT_EQ(unfused.encode("x|y"), (Ids{6, 6}));
}

TEST(PreTrainedTokenizer, TokensWithoutAnIdAreLeftOutOfTheIds) {
    auto tokenizer = make(data(addedTokens));
    EXPECT_EQ(tokenizer.encode("axb"), (Ids{0, 1}));
    EXPECT_EQ(tokenizer.encode(""), Ids{});
}

TEST(PreTrainedTokenizer, PostProcessorFramesOnlyWhenSpecialTokensAreWanted) {
    std::string framing = R"(, "post_processor": {"type": "TemplateProcessing",
        "single": [{"SpecialToken": {"id": "<s>", "type_id": 0}}, {"Sequence": {"id": "A", "type_id": 0}},
                   {"SpecialToken": {"id": "<abc>", "type_id": 0}}],
        "pair": []})";
    auto tokenizer = make(data(addedTokens, framing));
    EXPECT_EQ(tokenizer.encode("ab"), (Ids{9, 5, 8}));
    EXPECT_EQ(tokenizer.encode("ab", true), tokenizer.encode("ab"));
    EXPECT_EQ(tokenizer.encode("ab", false), Ids{5});
    EXPECT_EQ(tokenizer(std::string("ab"), false), Ids{5});
    // Without a post-processor the flag changes nothing.
    EXPECT_EQ(make(data(addedTokens)).encode("ab", true), Ids{5});
}

TEST(PreTrainedTokenizer, DecodeSkipsSpecialIdsDropsUnknownIdsAndCleansUp) {
    auto tokenizer = make(data(addedTokens));
    EXPECT_EQ(tokenizer.decode({9, 5, 7, 8, 42}), "<s>ab<a><abc>");
    EXPECT_EQ(tokenizer.decode({9, 5, 7, 8, 42}, true), "ab<a>");
    EXPECT_EQ(tokenizer.decode({9, 5}), tokenizer.decode({9, 5}, false));

    EXPECT_EQ(tokenizer.cleanUp("Hello , world ."), "Hello, world.");
    EXPECT_EQ(tokenizer.cleanUp("don 't"), "don 't");
    EXPECT_EQ(tokenizer.cleanUp("don ' t"), "don't");
    EXPECT_EQ(tokenizer.cleanUp("I 'm here ! Are you ? they 're , we 've , it 's , do n't"),
              "I'm here! Are you? they're, we've, it's, don't");
    auto raw = make(data(addedTokens), R"({"tokenizer_class": "GPT2Tokenizer", "clean_up_tokenization_spaces": false})");
    EXPECT_EQ(raw.cleanUp("Hello , world ."), "Hello , world .");
    EXPECT_FALSE(raw.cleanUpTokenizationSpaces());
    EXPECT_TRUE(tokenizer.cleanUpTokenizationSpaces());
}

TEST(PreTrainedTokenizer, ModelRegistryByClassName) {
    auto models = orvane::TokenizerModel::registeredModels();
    EXPECT_EQ(models.size(), 17u);
    EXPECT_TRUE(models.contains("DistilbertTokenizer") && models.contains("DistilBertTokenizer"));
    EXPECT_TRUE(models.contains("WhisperTokenizer") && models.contains("TokenizersBackend"));

    // "Fast" is removed wherever it stands.
    EXPECT_NO_THROW(make(data("[]"), R"({"tokenizer_class": "GPT2TokenizerFast"})"));
    EXPECT_NO_THROW(make(data("[]"), R"({"tokenizer_class": "FastWhisperTokenizer"})"));
    EXPECT_EQ(failure(data("[]"), R"({"tokenizer_class": "FancyTokenizerFast"})"),
              "The tokenizer type 'FancyTokenizer' is not supported.");
    EXPECT_EQ(failure(data("[]"), R"({"tokenizer_class": 3})"),
              "The tokenizer class is not specified in the configuration.");
    EXPECT_EQ(failure(data("[]"), "{}"), "The tokenizer class is not specified in the configuration.");

    testing::internal::CaptureStdout();
    auto lenient = make(data("[]"), R"({"tokenizer_class": "FancyTokenizerFast"})", false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Warning: Tokenizer model class FancyTokenizer is not registered, falling back to a standard BPE "
              "implementation.\n");
    EXPECT_EQ(lenient.encode("ab"), Ids{5});
}

TEST(PreTrainedTokenizer, StageAndModelErrorsEndConstruction) {
    EXPECT_EQ(failure(data("[]", R"(, "pre_tokenizer": {"type": "Magic"})"), R"({"tokenizer_class": "GPT2Tokenizer"})"),
              "Tokenizer configuration mismatch: Unsupported PreTokenizer type: Magic");
    EXPECT_EQ(failure(data("[]", R"(, "decoder": {"type": "Magic"})"), R"({"tokenizer_class": "GPT2Tokenizer"})"),
              "Tokenizer configuration mismatch: Unsupported Decoder type: Magic");
    EXPECT_EQ(failure(data("[]", R"(, "post_processor": {"type": "Magic"})"), R"({"tokenizer_class": "GPT2Tokenizer"})"),
              "Tokenizer configuration mismatch: Unsupported PostProcessor type: Magic");
    EXPECT_EQ(failure(data("[]", R"(, "normalizer": {"type": ""})"), R"({"tokenizer_class": "GPT2Tokenizer"})"),
              "Tokenizer configuration mismatch: Unsupported Normalizer type: ");
    EXPECT_EQ(failure(R"({"model": {"vocab": {}}})", R"({"tokenizer_class": "GPT2Tokenizer"})"),
              "Tokenizer configuration mismatch: BPETokenizer requires merges");
    // Stages are built before the model: a stage error wins over a model error.
    EXPECT_EQ(failure(R"({"decoder": {"type": "Magic"}})", R"({"tokenizer_class": "GPT2Tokenizer"})"),
              "Tokenizer configuration mismatch: Unsupported Decoder type: Magic");
}

TEST(TokenizerWrapper, PassesEveryCallThrough) {
    auto tokenizer = std::make_shared<PreTrainedTokenizer>(
        json(R"({"tokenizer_class": "GPT2Tokenizer", "bos_token": {"content": "<s>"}, "eos_token": "<abc>",
                 "unk_token": "<unk>"})"),
        json(data(addedTokens)), true);
    orvane::TokenizerWrapper wrapper(tokenizer);
    orvane::TokenizerWrapper copy = wrapper;
    EXPECT_EQ(copy.impl(), wrapper.impl());
    EXPECT_EQ(wrapper.tokenize("ab<a>"), (Strings{"ab", "<a>"}));
    EXPECT_EQ(wrapper.encode("ab<a>"), (Ids{5, 7}));
    EXPECT_EQ(wrapper.encode("ab<a>", false), (Ids{5, 7}));
    EXPECT_EQ(wrapper.decode({5, 9}), "ab<s>");
    EXPECT_EQ(wrapper.decode({5, 9}, true), "ab");
    EXPECT_EQ(wrapper.convertTokenToId("ab"), 5);
    EXPECT_EQ(wrapper.convertTokensToIds({"ab", "zz"}), (std::vector<std::optional<orvane::TokenId>>{5, 6}));
    EXPECT_EQ(wrapper.convertIdToToken(7), "<a>");
    EXPECT_EQ(wrapper.convertIdsToTokens({7, 99}), (std::vector<std::optional<std::string>>{"<a>", std::nullopt}));
    EXPECT_EQ(wrapper.bosTokenId(), 9);
    EXPECT_EQ(wrapper.eosToken(), "<abc>");
    EXPECT_EQ(wrapper.unknownTokenId(), 6);
    EXPECT_THROW(orvane::TokenizerWrapper(nullptr), std::invalid_argument);
}

} // namespace
