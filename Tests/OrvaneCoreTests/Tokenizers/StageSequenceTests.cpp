#include "OrvaneCore/External/Tokenizers/Decoders/DecoderFactory.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/BertNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NormalizerFactory.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessorFactory.h"
#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

using namespace orvane;
using tokenizertest::errorOf;
using tokenizertest::json;
using Tokens = std::vector<std::string>;

TEST(NormalizerFactory, BuildsEveryTypeByItsExactName) {
    const std::string text = "\u00c9\ufb01 ";
    const std::map<std::string, std::string> expected{
        {"Lowercase", "\u00e9\ufb01 "}, {"NFD", "E\u0301\ufb01 "}, {"NFC", text}, {"NFKD", "E\u0301fi "},
        {"NFKC", "\u00c9fi "},          {"StripAccents", "\u00c9fi "}, {"Strip", "\u00c9\ufb01"},
        {"Precompiled", "\u00c9fi "},   {"Bert", "e\ufb01 "},          {"BertNormalizer", "e\ufb01 "},
        {"Prepend", text},              {"Replace", text},             {"Sequence", text}};
    for (const auto& [type, output] : expected) {
        SCOPED_TRACE(type);
        auto normalizer = NormalizerFactory::fromConfig(json(R"({"type": ")" + type + R"(", "normalizers": []})"));
        ASSERT_NE(normalizer, nullptr);
        EXPECT_EQ(normalizer->normalize(text), output);
    }
    EXPECT_NE(std::dynamic_pointer_cast<BertNormalizer>(NormalizerFactory::fromConfig(json(R"({"type": "Bert"})"))),
              nullptr);
    EXPECT_EQ(errorOf([] { NormalizerFactory::fromConfig(json(R"({"type": "nfc"})")); }),
              "Tokenizer configuration mismatch: Unsupported Normalizer type: nfc");
}

TEST(NormalizerFactory, SequencesApplyTheirMembersInOrderAndReportMemberErrors) {
    auto sequence = NormalizerFactory::fromConfig(json(R"({"type": "Sequence", "normalizers": [
        {"type": "Prepend", "prepend": "\u2581"}, {"no type": 1},
        {"type": "Replace", "pattern": {"String": " "}, "content": "\u2581"}]})"));
    EXPECT_EQ(sequence->normalize("a b"), "\u2581a\u2581b");
    EXPECT_EQ(errorOf([] { NormalizerFactory::fromConfig(json(R"({"type": "Sequence"})")); }),
              "Tokenizer configuration mismatch: No normalizers in Sequence");
    EXPECT_EQ(errorOf([] {
                  NormalizerFactory::fromConfig(json(R"({"type": "Sequence", "normalizers": [{"type": "Nope"}]})"));
              }),
              "Tokenizer configuration mismatch: Unsupported Normalizer type: Nope");
    EXPECT_EQ(errorOf([] {
                  NormalizerFactory::fromConfig(json(
                      R"({"type": "Sequence", "normalizers": [{"type": "Replace", "pattern": {"Regex": "[a"}, "content": ""}]})"));
              }),
              "Tokenizer configuration mismatch: Cannot build regexp from [a");
}

TEST(DecoderFactory, SequencesChainDecodersAndGiveTheirMembersNoAddedTokens) {
    auto sequence = DecoderFactory::fromConfig(json(R"({"type": "Sequence", "decoders": [
        {"type": "Replace", "pattern": {"String": "\u2581"}, "content": " "}, {"type": "ByteFallback"},
        {"type": "Fuse"}, {"type": "Strip", "content": " ", "start": 1, "stop": 0}]})"));
    EXPECT_EQ(sequence->decode({"\u2581Hi", "<0x21>"}), Tokens{"Hi!"});
    const std::unordered_set<std::string> added{"<|x|>"};
    auto byteLevel = DecoderFactory::fromConfig(json(R"({"type": "Sequence", "decoders": [{"type": "ByteLevel"}]})"),
                                                &added);
    // Inside a sequence the byte-level decoder does not know "<|x|>", so it is part of the byte run.
    EXPECT_EQ(byteLevel->decode({"\u0120a", "<|x|>"}), Tokens{" a<|x|>"});
    EXPECT_EQ(DecoderFactory::fromConfig(json(R"({"type": "Metaspace"})"))->decode({"a_b"}), Tokens{"a b"});
    EXPECT_EQ(errorOf([] { DecoderFactory::fromConfig(json(R"({"type": "Sequence"})")); }),
              "Tokenizer configuration mismatch: No decoders in Sequence");
    EXPECT_EQ(errorOf([] { DecoderFactory::fromConfig(json(R"({"type": ""})")); }),
              "Tokenizer configuration mismatch: Unsupported Decoder type: ");
}

TEST(PostProcessorFactory, SequencesGiveOnlyTheirFirstMemberTheSecondSequence) {
    auto sequence = PostProcessorFactory::fromConfig(json(R"({"type": "Sequence", "processors": [
        {"type": "TemplateProcessing", "single": [{"Sequence": {"id": "A"}}],
         "pair": [{"Sequence": {"id": "A"}}, {"SpecialToken": {"id": "|"}}, {"Sequence": {"id": "B"}}]},
        {"type": "TemplateProcessing", "single": [{"SpecialToken": {"id": "<s>"}}, {"Sequence": {"id": "A"}}],
         "pair": [{"Sequence": {"id": "B"}}]}]})"));
    EXPECT_EQ(sequence->postProcess({"a"}, Tokens{"b"}, true), (Tokens{"<s>", "a", "|", "b"}));
    EXPECT_EQ(sequence->postProcess({"a"}, std::nullopt, false), Tokens{"a"});
    auto empty = PostProcessorFactory::fromConfig(json(R"({"type": "Sequence", "processors": []})"));
    EXPECT_EQ(empty->postProcess({"a"}, Tokens{"b"}, true), Tokens{"a"});
    auto bert = PostProcessorFactory::fromConfig(json(R"({"type": "BertProcessing", "sep": ["[SEP]", 102], "cls": ["[CLS]", 101]})"));
    EXPECT_EQ(bert->postProcess({"x"}, std::nullopt, true), (Tokens{"[CLS]", "x", "[SEP]"}));
    EXPECT_EQ(errorOf([] { PostProcessorFactory::fromConfig(json(R"({"type": "Sequence"})")); }),
              "Tokenizer configuration mismatch: Missing `processors` configuration");
    EXPECT_EQ(errorOf([] { PostProcessorFactory::fromConfig(json(R"({"type": "RobertaProcessing", "sep": ["</s>", 2]})")); }),
              "Tokenizer configuration mismatch: Missing `cls` processor configuration");
}
