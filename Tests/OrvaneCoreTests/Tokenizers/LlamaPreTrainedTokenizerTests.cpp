#include "OrvaneCore/External/Tokenizers/Pipeline/LlamaPreTrainedTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizerClasses.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

using namespace orvane;
using tokenizertest::json;
using Tokens = std::vector<std::string>;
using Ids = std::vector<TokenId>;

namespace {

const std::string marker = "\u2581";

std::string tokenizerData(const std::string& postProcessor = "null") {
    return R"({"added_tokens": [{"id": 0, "content": "<unk>", "special": true},
                {"id": 1, "content": "<s>", "special": true}, {"id": 2, "content": "</s>", "special": true}],
      "normalizer": {"type": "Sequence", "normalizers": [{"type": "Prepend", "prepend": "\u2581"},
                     {"type": "Replace", "pattern": {"String": " "}, "content": "\u2581"}]},
      "pre_tokenizer": {"type": "Whitespace"},
      "post_processor": )" +
           postProcessor + R"(,
      "model": {"vocab": {"<unk>": 0, "<s>": 1, "</s>": 2, "\u2581": 3, "a": 4, "b": 5, "\u2581a": 6, "\u2581b": 7},
                "merges": ["\u2581 a", "\u2581 b"]}})";
}

std::string config(const std::string& members) {
    return R"({"tokenizer_class": "LlamaTokenizer", "bos_token": "<s>", "eos_token": "</s>")" + members + "}";
}

LlamaPreTrainedTokenizer llama(const std::string& members, const std::string& postProcessor = "null") {
    return LlamaPreTrainedTokenizer(json(config(members)), json(tokenizerData(postProcessor)), true);
}

std::string updateError(const std::string& configJson) {
    return tokenizertest::errorOf([&] { maybeUpdatePostProcessor(json(configJson), Config()); }, "no error");
}

std::vector<std::string> itemIds(const Config& items, const char* kind) {
    std::vector<std::string> ids;
    for (const Config& item : *items.array()) {
        ids.push_back(item[kind]["id"].string().value_or("-"));
    }
    return ids;
}

} // namespace

TEST(LlamaPreTrainedTokenizer, GeneratedTemplateAddsTheRequestedBeginningAndEnd) {
    auto processor = maybeUpdatePostProcessor(
        json(R"({"add_bos_token": true, "bos_token": {"content": "<s>"}, "add_eos_token": true, "eos_token": "</s>"})"),
        json(R"({"type": "ByteLevel"})"));
    ASSERT_TRUE(processor);
    EXPECT_EQ((*processor)["type"].string(), "TemplateProcessing");
    EXPECT_EQ(itemIds((*processor)["single"], "SpecialToken"), (Tokens{"<s>", "-", "</s>"}));
    EXPECT_EQ(itemIds((*processor)["single"], "Sequence"), (Tokens{"-", "A", "-"}));
    EXPECT_EQ(itemIds((*processor)["pair"], "Sequence"), (Tokens{"-", "A", "-", "-", "B", "-"}));
    EXPECT_EQ((*(*processor)["pair"].array())[3]["SpecialToken"]["type_id"].integer(), 1);

    // No flags: the template only marks the sequences.
    auto plain = maybeUpdatePostProcessor(json("{}"), Config());
    ASSERT_TRUE(plain);
    EXPECT_EQ(itemIds((*plain)["single"], "Sequence"), Tokens{"A"});
    EXPECT_EQ(itemIds((*plain)["pair"], "Sequence"), (Tokens{"A", "B"}));

    EXPECT_FALSE(maybeUpdatePostProcessor(json(R"({"add_bos_token": true, "bos_token": "<s>"})"),
                                          json(R"({"type": "TemplateProcessing", "single": [], "pair": []})")));
}

TEST(LlamaPreTrainedTokenizer, RequestedTokensMustBeNamed) {
    const std::string prefix = "Tokenizer configuration mismatch: ";
    EXPECT_EQ(updateError(R"({"add_bos_token": true, "add_eos_token": true})"),
              prefix + "add_bos_token is True but bos_token is nil");
    EXPECT_EQ(updateError(R"({"add_eos_token": true, "bos_token": "<s>"})"),
              prefix + "add_eos_token is True but eos_token is nil");
    EXPECT_EQ(updateError(R"({"add_bos_token": false, "add_eos_token": "f"})"), "no error");
    EXPECT_THROW(maybeUpdatePostProcessor(json("{}"), json(R"({"type": "Magic"})")), TokenizerError);
}

TEST(LlamaPreTrainedTokenizer, OnlyNonLegacyConfigurationsGetTheWordMarkerPreTokenizer) {
    const Config legacy = LlamaPreTrainedTokenizer::rewrittenTokenizerData(json(config("")), json(tokenizerData()));
    EXPECT_EQ(legacy["normalizer"]["type"].string(), "Sequence");
    EXPECT_EQ(legacy["pre_tokenizer"]["type"].string(), "Whitespace");
    EXPECT_EQ(legacy["post_processor"]["type"].string(), "TemplateProcessing");

    const Config modern = LlamaPreTrainedTokenizer::rewrittenTokenizerData(json(config(R"(, "legacy": false)")),
                                                                           json(tokenizerData()));
    EXPECT_TRUE(modern["normalizer"].isNull());
    EXPECT_EQ(modern["pre_tokenizer"], Config::fromPairs({{"type", "Metaspace"},
                                                          {"replacement", marker},
                                                          {"add_prefix_space", true},
                                                          {"prepend_scheme", "first"}}));
    const Config kept = LlamaPreTrainedTokenizer::rewrittenTokenizerData(
        json(config(R"(, "legacy": false)")), json(tokenizerData(R"({"type": "TemplateProcessing", "single": [], "pair": []})")));
    EXPECT_EQ(kept["post_processor"]["single"], Config(Config::Array{}));
}

TEST(LlamaPreTrainedTokenizer, NonLegacyTokenizePutsOneMarkerInFrontOfTheText) {
    const auto tokenizer = llama(R"(, "legacy": false, "add_bos_token": true)");
    EXPECT_FALSE(tokenizer.isLegacy());
    EXPECT_EQ(tokenizer.tokenize("a" + marker + "b"), tokenizer.PreTrainedTokenizer::tokenize(marker + "a b"));
    EXPECT_EQ(tokenizer.tokenize("a" + marker + "b"), (Tokens{marker + "a", marker + "b"}));
    EXPECT_EQ(tokenizer.tokenize(""), tokenizer.PreTrainedTokenizer::tokenize(""));
    EXPECT_EQ(tokenizer.tokenize("ab"), (Tokens{marker + "a", "b"}));
    // The lone marker before a leading special token is dropped.
    EXPECT_EQ(tokenizer.tokenize("<s>a"), (Tokens{"<s>", "a"}));
    EXPECT_EQ(tokenizer.encode("a b"), (Ids{1, 6, 7}));
    EXPECT_EQ(tokenizer.encode("a b", false), (Ids{6, 7}));
}

TEST(LlamaPreTrainedTokenizer, LegacyTokenizeIsTheGeneralOne) {
    const auto tokenizer = llama("");
    EXPECT_TRUE(tokenizer.isLegacy());
    // The data's own normalizer and pre-tokenizer stay: the markers come from the normalizer.
    EXPECT_EQ(tokenizer.tokenize("a b"), (Tokens{marker + "a", marker + "b"}));
    EXPECT_EQ(tokenizer.tokenize(marker), (Tokens{marker, marker}));
    // Without add_bos_token the generated template adds nothing.
    EXPECT_EQ(tokenizer.encode("a b"), (Ids{6, 7}));
}

TEST(PreTrainedTokenizerClasses, OnlyLlamaTokenizerHasItsOwnClass) {
    const auto& classes = PreTrainedTokenizerClasses::tokenizerClasses();
    ASSERT_EQ(classes.size(), 1u);
    auto tokenizer = classes.at("LlamaTokenizer")(json(config(R"(, "legacy": false)")), json(tokenizerData()), true);
    EXPECT_NE(dynamic_cast<LlamaPreTrainedTokenizer*>(tokenizer.get()), nullptr);
}
