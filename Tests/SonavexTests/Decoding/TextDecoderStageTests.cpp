#include "OrvaneCore/Models/ModelPrediction.h"
#include "Platform/ML/Whisper/ScriptedTextDecoderModel.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/Decoding/TextDecoderInput.h"
#include "Sonavex/Core/Decoding/TextDecoderOutput.h"
#include "SonavexTests/TableTokenizer.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using Rule = ml::ScriptedTextDecoderModel::Rule;
using sonavex::TextDecoder;

constexpr int64_t kWidth = 6, kLayers = 2, kFrames = 30;

std::filesystem::path writeScriptedDecoder(const testsupport::TemporaryDirectory& folder,
                                           bool wordTimestamps) {
    ml::TextDecoderShape shape;
    shape.vocabulary = 51865;
    shape.width = kWidth;
    shape.layers = kLayers;
    shape.audioFrames = kFrames;
    const auto location = folder / (wordTimestamps ? "TextDecoder.mlmodelc" : "Plain.mlmodelc");
    // The start of transcript at position 0 is answered with English, aligned with frame 17.
    ml::ScriptedTextDecoderModel::writer(shape, {Rule{50258, 0, 50259, 17}}, -1, 0, wordTimestamps)
        .writeCompiled(location);
    return location;
}

} // namespace

TEST(TextDecoderStage, SizesComeFromTheLoadedModel) {
    testsupport::TemporaryDirectory folder;
    TextDecoder decoder;
    auto expectNoSizes = [&] {
        EXPECT_FALSE(decoder.logitsSize());
        EXPECT_FALSE(decoder.kvCacheEmbedDim());
        EXPECT_FALSE(decoder.kvCacheMaxSequenceLength());
        EXPECT_FALSE(decoder.windowSize());
        EXPECT_FALSE(decoder.embedSize());
        EXPECT_FALSE(decoder.supportsWordTimestamps());
    };
    expectNoSizes();
    EXPECT_FALSE(decoder.isModelMultilingual());
    EXPECT_EQ(decoder.logitsFilters(),
              std::optional(std::vector<std::shared_ptr<sonavex::LogitsFiltering>>{}));

    decoder.loadModel(writeScriptedDecoder(folder, true), ml::ComputeUnits::cpuOnly, false);
    EXPECT_EQ(decoder.logitsSize(), 51865);
    EXPECT_EQ(decoder.kvCacheEmbedDim(), kWidth * kLayers);
    EXPECT_EQ(decoder.kvCacheMaxSequenceLength(), 224);
    EXPECT_EQ(decoder.windowSize(), kFrames);
    EXPECT_EQ(decoder.embedSize(), kWidth);
    EXPECT_TRUE(decoder.supportsWordTimestamps());

    decoder.loadModel(writeScriptedDecoder(folder, false), ml::ComputeUnits::cpuOnly, false);
    EXPECT_FALSE(decoder.supportsWordTimestamps());
    EXPECT_EQ(decoder.kvCacheEmbedDim(), kWidth * kLayers);

    decoder.unloadModel();
    expectNoSizes();
}

TEST(TextDecoderStage, OneStepThroughTheWrappersFillsPositionZero) {
    testsupport::TemporaryDirectory folder;
    TextDecoder decoder;
    decoder.loadModel(writeScriptedDecoder(folder, true), ml::ComputeUnits::cpuOnly, false);
    decoder.setTokenizer(std::make_shared<TableTokenizer>());
    decoder.setIsModelMultilingual(true);
    auto inputs = decoder.prepareDecoderInputs({});
    decoder.prefillDecoderInputs(*inputs, sonavex::DecodingOptions());
    ASSERT_EQ(inputs->initialPrompt, (std::vector<int64_t>{50258, 50259, 50359, 50364}));

    inputs->inputIds->setValue(0, double(inputs->initialPrompt[0]));
    auto encoderOutput = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, kWidth, 1, kFrames},
                                                          ml::MultiArrayDataType::Float16);
    sonavex::TextDecoderInput input(inputs->inputIds, inputs->cacheLength, inputs->keyCache,
                                    inputs->valueCache, inputs->kvCacheUpdateMask, encoderOutput,
                                    inputs->decoderKeyPaddingMask);
    EXPECT_EQ(input.featureNames().size(), 7u);
    EXPECT_EQ(input.featureValue("key_cache")->multiArrayValue(), inputs->keyCache);
    EXPECT_FALSE(input.featureValue("logits"));
    EXPECT_FALSE(input.featureValue("Input_ids"));

    const sonavex::TextDecoderOutput output(orvane::asyncPrediction(*decoder.model(), input));
    EXPECT_EQ(output.logits()->shape(), (std::vector<int64_t>{1, 1, 51865}));
    EXPECT_EQ(output.logits()->value(50259), 30.0);
    ASSERT_NE(output.alignment_heads_weights(), nullptr);

    decoder.updateKVCache(*inputs->keyCache, *output.key_cache_updates(), *inputs->valueCache,
                          *output.value_cache_updates(), 0);
    sonavex::TextDecoding::updateAlignmentWeights(*inputs->alignmentWeights,
                                                  *output.alignment_heads_weights(), 0);
    // The scripted model's key channels cycle through [token / 1024, token % 1024, position].
    const double marks[3] = {50258 / 1024, 50258 % 1024, 0};
    for (int64_t channel = 0; channel < kWidth * kLayers; ++channel) {
        EXPECT_EQ(inputs->keyCache->value({0, channel, 0, 0}), marks[channel % 3]);
        EXPECT_EQ(inputs->valueCache->value({0, channel, 0, 0}), -marks[channel % 3]);
        EXPECT_EQ(inputs->keyCache->value({0, channel, 0, 1}), 0.0);
    }
    EXPECT_EQ(inputs->alignmentWeights->value({1, 17}), 1.0);
    EXPECT_EQ(inputs->alignmentWeights->value({0, 17}), 0.0);
}
