#include "Platform/ML/Whisper/ScriptedTextDecoderModel.h"
#include "Sonavex/Core/Decoding/DecodingInputs.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <gtest/gtest.h>

namespace {

using sonavex::DecodingInputs;
using sonavex::TextDecoder;
using sonavex::TextDecoding;
using sonavex::WhisperError;

constexpr int64_t kChannels = 12; // two layers of six
constexpr int64_t kPositions = 224;
constexpr int64_t kFrames = 30;

ml::TextDecoderShape decoderShape(int64_t cacheLength = kPositions) {
    ml::TextDecoderShape shape;
    shape.vocabulary = 51865;
    shape.width = 6;
    shape.layers = 2;
    shape.audioFrames = kFrames;
    shape.cacheLength = cacheLength;
    return shape;
}

// A model with the scripted decoder's description, minus what a test takes away; never run.
class UnusedKind : public ml::ModelKind {
public:
    void predict(const ml::FeatureProvider&, const ml::PredictionOptions&,
                 ml::DictionaryFeatureProvider&) const override {
        throw std::logic_error("not run");
    }
};

std::shared_ptr<ml::Model> describedModel(const std::function<void(ml::ModelDescription&)>& change,
                                          int64_t cacheLength = kPositions) {
    ml::ModelWriter writer = ml::ScriptedTextDecoderModel::writer(decoderShape(cacheLength), {});
    ml::ModelDescription description = writer.description();
    change(description);
    return ml::Model::create(description, std::make_shared<UnusedKind>());
}

void removeInput(ml::ModelDescription& description, const std::string& name) {
    std::erase_if(description.inputs,
                  [&](const ml::FeatureDescription& input) { return input.name == name; });
}

std::string prepareFailure(TextDecoder& decoder) {
    try {
        decoder.prepareDecoderInputs({1});
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), WhisperError::Kind::prepareDecoderInputsFailed);
        return error.message();
    }
    return "no error";
}

std::shared_ptr<DecodingInputs> freshInputs() {
    TextDecoder decoder;
    decoder.setModel(describedModel([](ml::ModelDescription&) {}));
    return decoder.prepareDecoderInputs({50258});
}

std::vector<uint16_t> bits(const ml::MultiArray& array) {
    std::vector<uint16_t> result;
    for (ml::Float16 value : array.elements<ml::Float16>()) {
        result.push_back(ml::halfBits(value));
    }
    return result;
}

std::vector<double> values(const ml::MultiArray& array) {
    std::vector<double> result;
    for (int64_t i = 0; i < array.count(); ++i) {
        result.push_back(array.value(i));
    }
    return result;
}

// An update whose element c holds `base` + c.
std::shared_ptr<ml::MultiArray> update(std::vector<int64_t> shape, double base,
                                       ml::MultiArrayDataType type = ml::MultiArrayDataType::Float16) {
    auto array = std::make_shared<ml::MultiArray>(std::move(shape), type);
    for (int64_t i = 0; i < array->count(); ++i) {
        array->setValue(i, base + double(i));
    }
    return array;
}

} // namespace

TEST(DecodingInputsPrepare, MissingSizesAreReportedInTheirOrder) {
    TextDecoder decoder;
    EXPECT_EQ(prepareFailure(decoder), "Unable to determine kvCacheEmbedDim");

    decoder.setModel(describedModel([](ml::ModelDescription& description) {
        removeInput(description, "key_cache");
        removeInput(description, "encoder_output_embeds");
    }));
    EXPECT_EQ(prepareFailure(decoder), "Unable to determine kvCacheEmbedDim");

    decoder.setModel(describedModel([](ml::ModelDescription& description) {
        for (auto& input : description.inputs) {
            if (input.name == "key_cache") {
                input.multiArrayConstraint->shape = {1, kChannels, 1};
            }
        }
        removeInput(description, "encoder_output_embeds");
    }));
    EXPECT_EQ(prepareFailure(decoder), "Unable to determine kvCacheMaxSequenceLength");

    decoder.setModel(describedModel(
        [](ml::ModelDescription& description) { removeInput(description, "encoder_output_embeds"); }));
    EXPECT_EQ(prepareFailure(decoder), "Unable to determine encoderOutputDim");
}

TEST(DecodingInputsPrepare, RefusesACacheShorterThanAWindowsPositions) {
    TextDecoder decoder;
    decoder.setModel(describedModel([](ml::ModelDescription&) {}, 223));
    EXPECT_EQ(prepareFailure(decoder),
              "The decoder's key cache holds 223 positions, fewer than the 224 a window needs");
}

TEST(DecodingInputsPrepare, FreshStateHasPositionZeroWritableAndAloneVisible) {
    const auto inputs = freshInputs();
    EXPECT_EQ(inputs->initialPrompt, std::vector<int64_t>{50258});
    EXPECT_EQ(inputs->keyCache->shape(), (std::vector<int64_t>{1, kChannels, 1, kPositions}));
    EXPECT_EQ(inputs->alignmentWeights->shape(), (std::vector<int64_t>{kPositions, kFrames}));
    for (const ml::MultiArray* zero :
         {inputs->inputIds.get(), inputs->cacheLength.get(), inputs->keyCache.get(), inputs->valueCache.get(),
          inputs->alignmentWeights.get()}) {
        EXPECT_EQ(values(*zero), std::vector<double>(zero->count(), 0.0));
    }
    std::vector<double> updateMask(kPositions, 0.0);
    updateMask[0] = 1;
    EXPECT_EQ(values(*inputs->kvCacheUpdateMask), updateMask);
    std::vector<uint16_t> padding(kPositions, 0xF0E2); // -10000 in half precision
    padding[0] = 0;
    EXPECT_EQ(bits(*inputs->decoderKeyPaddingMask), padding);
}

TEST(DecodingInputsReset, RestoresTheMasksUpToTheContextAndKeepsTheCaches) {
    const auto inputs = freshInputs();
    // The state as a window of five steps leaves it.
    inputs->keyCache->fill(0.5);
    inputs->valueCache->fill(-0.5);
    inputs->alignmentWeights->fill(0.25);
    inputs->inputIds->setValue(0, 440);
    inputs->cacheLength->setValue(0, 4);
    for (int64_t position = 0; position <= 5; ++position) {
        inputs->decoderKeyPaddingMask->setValue(position, 0);
        inputs->kvCacheUpdateMask->setValue(position, position == 5 ? 1 : 0);
    }
    const auto keys = bits(*inputs->keyCache), cachedValues = bits(*inputs->valueCache);
    const auto alignment = bits(*inputs->alignmentWeights);
    const auto advancedPadding = values(*inputs->decoderKeyPaddingMask);
    auto advancedUpdates = values(*inputs->kvCacheUpdateMask);

    inputs->reset(1);
    EXPECT_EQ(inputs->cacheLength->value(0), 0);
    advancedUpdates[0] = 1;
    EXPECT_EQ(values(*inputs->kvCacheUpdateMask), advancedUpdates);
    EXPECT_EQ(values(*inputs->decoderKeyPaddingMask), advancedPadding);

    inputs->reset(224);
    std::vector<double> updateMask(kPositions, 0.0);
    updateMask[0] = 1;
    EXPECT_EQ(values(*inputs->kvCacheUpdateMask), updateMask);
    std::vector<double> padding(kPositions, -10000.0);
    padding[0] = 0;
    EXPECT_EQ(values(*inputs->decoderKeyPaddingMask), padding);
    EXPECT_EQ(bits(*inputs->keyCache), keys);
    EXPECT_EQ(bits(*inputs->valueCache), cachedValues);
    EXPECT_EQ(bits(*inputs->alignmentWeights), alignment);
    EXPECT_EQ(inputs->inputIds->value(0), 440);
    EXPECT_EQ(inputs->initialPrompt, std::vector<int64_t>{50258});

    // A context of no positions or beyond the cache is refused before anything is written.
    inputs->cacheLength->setValue(0, 9);
    EXPECT_THROW(inputs->reset(0), std::out_of_range);
    EXPECT_THROW(inputs->reset(kPositions + 1), std::out_of_range);
    EXPECT_EQ(inputs->cacheLength->value(0), 9);
}

TEST(DecodingInputsCacheUpdate, WritesOnePositionOfBothCachesAsRawHalves) {
    const auto inputs = freshInputs();
    TextDecoder decoder;
    inputs->keyCache->fill(0.5);
    inputs->valueCache->fill(-0.5);
    auto keysBefore = bits(*inputs->keyCache), valuesBefore = bits(*inputs->valueCache);

    auto keySlice = update({1, kChannels, 1, 1}, 1.0);
    auto valueSlice = update({1, kChannels, 1, 1}, 100.0);
    // A signalling NaN keeps its bits only when copied without conversion.
    keySlice->elements<ml::Float16>()[3] = ml::halfFromBits(0x7D01);
    decoder.updateKVCache(*inputs->keyCache, *keySlice, *inputs->valueCache, *valueSlice, 5);

    for (int64_t channel = 0; channel < kChannels; ++channel) {
        const int64_t index = channel * kPositions + 5;
        keysBefore[index] = ml::halfBits(keySlice->elements<ml::Float16>()[channel]);
        valuesBefore[index] = ml::halfBits(valueSlice->elements<ml::Float16>()[channel]);
    }
    EXPECT_EQ(bits(*inputs->keyCache), keysBefore);
    EXPECT_EQ(bits(*inputs->valueCache), valuesBefore);
    EXPECT_EQ(bits(*inputs->keyCache)[3 * kPositions + 5], 0x7D01);

    // The last position takes a one-position update; a longer update there would not fit.
    decoder.updateKVCache(*inputs->keyCache, *keySlice, *inputs->valueCache, *valueSlice, kPositions - 1);
    EXPECT_EQ(inputs->keyCache->value({0, 11, 0, kPositions - 1}), 12.0);
    EXPECT_EQ(inputs->valueCache->value({0, 0, 0, kPositions - 1}), 100.0);
    auto twoPositions = update({1, kChannels, 1, 2}, 1.0);
    EXPECT_THROW(decoder.updateKVCache(*inputs->keyCache, *twoPositions, *inputs->valueCache, *twoPositions,
                                       kPositions - 1),
                 WhisperError);
}

TEST(DecodingInputsCacheUpdate, RefusesUpdatesThatDoNotFitBeforeWriting) {
    const auto inputs = freshInputs();
    TextDecoder decoder;
    const auto keysBefore = bits(*inputs->keyCache), valuesBefore = bits(*inputs->valueCache);
    auto slice = update({1, kChannels, 1, 1}, 1.0);
    auto narrow = update({1, kChannels - 1, 1, 1}, 1.0);
    auto floats = update({1, kChannels, 1, 1}, 1.0, ml::MultiArrayDataType::Float32);
    auto flat = update({kChannels}, 1.0);
    auto otherCache = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, kChannels, 1, 100},
                                                       ml::MultiArrayDataType::Float16);
    auto& keys = *inputs->keyCache;
    auto& cachedValues = *inputs->valueCache;

    const std::vector<std::function<void()>> refused{
        [&] { decoder.updateKVCache(keys, *slice, cachedValues, *slice, kPositions); },
        [&] { decoder.updateKVCache(keys, *narrow, cachedValues, *narrow, 0); },
        [&] { decoder.updateKVCache(keys, *slice, cachedValues, *narrow, 0); },
        [&] { decoder.updateKVCache(keys, *floats, cachedValues, *floats, 0); },
        [&] { decoder.updateKVCache(keys, *flat, cachedValues, *flat, 0); },
        [&] { decoder.updateKVCache(keys, *slice, *otherCache, *slice, 150); },
    };
    for (size_t i = 0; i < refused.size(); ++i) {
        try {
            refused[i]();
            ADD_FAILURE() << "case " << i << " was accepted";
        } catch (const WhisperError& error) {
            EXPECT_EQ(error.kind(), WhisperError::Kind::decodingFailed) << i;
        }
    }
    EXPECT_EQ(bits(*inputs->keyCache), keysBefore);
    EXPECT_EQ(bits(*inputs->valueCache), valuesBefore);
}

TEST(DecodingInputsAlignmentUpdate, WritesTheRowAfterTheStepsPosition) {
    const auto inputs = freshInputs();
    auto& weights = *inputs->alignmentWeights;
    auto row = update({1, kFrames}, 1.0);
    TextDecoding::updateAlignmentWeights(weights, *row, 0);
    TextDecoding::updateAlignmentWeights(weights, *row, kPositions - 2);
    for (int64_t position = 0; position < kPositions; ++position) {
        const bool written = position == 1 || position == kPositions - 1;
        for (int64_t frame = 0; frame < kFrames; ++frame) {
            ASSERT_EQ(weights.value({position, frame}), written ? 1.0 + double(frame) : 0.0) << position;
        }
    }

    const auto before = bits(weights);
    auto shortRow = update({1, kFrames - 1}, 1.0);
    EXPECT_THROW(TextDecoding::updateAlignmentWeights(weights, *row, kPositions - 1), WhisperError);
    EXPECT_THROW(TextDecoding::updateAlignmentWeights(weights, *row, -1), WhisperError);
    EXPECT_THROW(TextDecoding::updateAlignmentWeights(weights, *shortRow, 3), WhisperError);
    EXPECT_EQ(bits(weights), before);
}
