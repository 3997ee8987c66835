// The byte-level and template stages and the factories that build them.

#include "OrvaneCore/External/Tokenizers/Decoders/ByteLevelDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/DecoderFactory.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NormalizerFactory.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessorFactory.h"

#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace tokenizertest;
using Strings = std::vector<std::string>;

std::string errorOf(const std::function<void()>& build) {
    try {
        build();
    } catch (const orvane::TokenizerError& error) {
        return error.what();
    }
    return "no error";
}

const std::string frame = R"({"type": "TemplateProcessing",
    "single": [{"SpecialToken": {"id": "<s>", "type_id": 0}}, {"Sequence": {"id": "A", "type_id": 0}},
               {"Sequence": {"id": "B", "type_id": 0}}, {"SpecialToken": {"id": "</s>", "type_id": 0}}, {"Other": {}}],
    "pair": [{"Sequence": {"id": "A"}}, {"SpecialToken": {"id": "<sep>"}}, {"Sequence": {"id": "B"}}]})";

TEST(TemplateProcessing, FramesSingleAndPairSequences) {
    auto processor = orvane::PostProcessorFactory::fromConfig(json(frame));
    ASSERT_TRUE(processor);
    EXPECT_EQ(processor->postProcess({"a", "b"}, std::nullopt, true), (Strings{"<s>", "a", "b", "</s>"}));
    EXPECT_EQ((*processor)({"a", "b"}, std::nullopt, false), (Strings{"a", "b"}));
    EXPECT_EQ(processor->postProcess({"a"}, Strings{"x"}, true), (Strings{"a", "<sep>", "x"}));
    // An empty second sequence still selects the pair template.
    EXPECT_EQ(processor->postProcess({"a"}, Strings{}, true), (Strings{"a", "<sep>"}));
}

TEST(PostProcessorFactory, BuildsByteLevelAndReportsBadConfigurations) {
    auto byteLevel = orvane::PostProcessorFactory::fromConfig(json(R"({"type": "ByteLevel", "trim_offsets": false})"));
    ASSERT_TRUE(byteLevel);
    EXPECT_EQ(byteLevel->postProcess({"a"}, Strings{"b"}, true), Strings{"a"});
    EXPECT_EQ(orvane::PostProcessorFactory::fromConfig(orvane::Config()), nullptr);
    EXPECT_EQ(orvane::PostProcessorFactory::fromConfig(json(R"({"single": []})")), nullptr);
    auto build = [](const std::string& text) {
        return errorOf([&] { orvane::PostProcessorFactory::fromConfig(json(text)); });
    };
    EXPECT_EQ(build(R"({"type": "Template"})"), "Tokenizer configuration mismatch: Unsupported PostProcessor type: Template");
    EXPECT_EQ(build(R"({"type": "TemplateProcessing", "pair": []})"),
              "Tokenizer configuration mismatch: Missing `single` processor configuration");
    EXPECT_EQ(build(R"({"type": "TemplateProcessing", "single": [], "pair": {}})"),
              "Tokenizer configuration mismatch: Missing `pair` processor configuration");
}

TEST(ByteLevelDecoder, JoinsByteRunsAndKeepsAddedTokensApart) {
    orvane::ByteLevelDecoder decoder({"<|endoftext|>"});
    EXPECT_EQ(decoder.decode({"\xC4\xA0hello", "\xC4\xA0world"}), Strings{" hello world"});
    EXPECT_EQ(decoder.decode({"\xC4\xA0hi", "<|endoftext|>", "\xC4\xA0you"}), (Strings{" hi", "<|endoftext|>", " you"}));
    EXPECT_EQ(decoder.decode({"<|endoftext|>", "<|endoftext|>"}), (Strings{"<|endoftext|>", "<|endoftext|>"}));
    EXPECT_TRUE(decoder.decode({}).empty());
    // "æĹ" are the first two bytes of a three-byte character: the cut sequence becomes U+FFFD.
    EXPECT_EQ(decoder.decode({"a\xC3\xA6\xC4\xB9"}), Strings{"a\xEF\xBF\xBD"});
    EXPECT_EQ(decoder.decode({"\xC3\xA6\xC4\xB9", "\xC2\xA5"}), Strings{"\xE6\x97\xA5"}); // 日 split over two tokens
}

TEST(ByteLevelDecoder, CharactersOutsideTheByteTableKeepTheirOwnText) {
    // An added token the decoder was not told about, and plain text that was never byte-encoded.
    orvane::ByteLevelDecoder decoder;
    EXPECT_EQ(decoder.decode({"\xC4\xA0hi", "<|en|>", "\xC4\xA0\xE6\x97\xA5 \xE2\x96\x81x"}),
              Strings{" hi<|en|> \xE6\x97\xA5 \xE2\x96\x81x"});
    EXPECT_EQ(decoder.decode({"\xF0\x9F\x98\x80"}), Strings{"\xF0\x9F\x98\x80"});
}

TEST(DecoderFactory, ByteLevelGetsTheAddedTokens) {
    std::unordered_set<std::string> added{"<x>"};
    auto decoder = orvane::DecoderFactory::fromConfig(json(R"({"type": "ByteLevel", "add_prefix_space": true})"), &added);
    ASSERT_TRUE(decoder);
    EXPECT_EQ((*decoder)({"a", "<x>", "b"}), (Strings{"a", "<x>", "b"}));
    auto withoutAdded = orvane::DecoderFactory::fromConfig(json(R"({"type": "ByteLevel"})"));
    EXPECT_EQ(withoutAdded->decode({"a", "<x>", "b"}), Strings{"a<x>b"});
    EXPECT_EQ(orvane::DecoderFactory::fromConfig(orvane::Config()), nullptr);
    EXPECT_EQ(errorOf([] { orvane::DecoderFactory::fromConfig(json(R"({"type": "bytelevel"})")); }),
              "Tokenizer configuration mismatch: Unsupported Decoder type: bytelevel");
}

TEST(NormalizerFactory, NoConfigurationMeansNoNormalizer) {
    EXPECT_EQ(orvane::NormalizerFactory::fromConfig(orvane::Config()), nullptr);
    EXPECT_EQ(orvane::NormalizerFactory::fromConfig(json(R"({"type": null})")), nullptr);
    EXPECT_EQ(errorOf([] { orvane::NormalizerFactory::fromConfig(json(R"({"type": "Magic"})")); }),
              "Tokenizer configuration mismatch: Unsupported Normalizer type: Magic");
}

} // namespace
