// The text decoder kind against a naive full recomputation: step by step through the caller-owned
// cache (as the engine drives it), with two windows interleaved, reused memory and concurrent windows.
#include "NaiveTransformer.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelLoadError.h"
#include "Platform/ML/Model/PredictionError.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

// Frames enough for the cross-attention to be taken in more than one part, with a partial last one.
constexpr int64_t kWidth = 128, kLayers = 2, kFrames = 150, kCache = 12, kVocabulary = 300;
const std::vector<std::pair<int, int>> kAlignmentHeads{{1, 0}, {1, 1}};

std::shared_ptr<ml::MultiArray> array(std::vector<int64_t> shape, ml::MultiArrayDataType type,
                                      double fill = 0.0) {
    return std::make_shared<ml::MultiArray>(ml::MultiArray::filled(std::move(shape), type, fill));
}

// One window's decoding state, kept and advanced the way the engine keeps it.
struct Window {
    std::shared_ptr<ml::MultiArray> encoderOutput;
    naive::Matrix encoderFrames; // [frames, width]
    std::shared_ptr<ml::MultiArray> keyCache, valueCache, updateMask, paddingMask;
    std::vector<int> tokens;

    explicit Window(unsigned seed) {
        encoderOutput = array({1, kWidth, 1, kFrames}, ml::MultiArrayDataType::Float16);
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> value(-2.0f, 2.0f);
        for (int64_t i = 0; i < encoderOutput->count(); ++i)
            encoderOutput->setValue(i, value(random));
        encoderFrames.resize(size_t(kFrames * kWidth));
        for (int64_t c = 0; c < kWidth; ++c)
            for (int64_t t = 0; t < kFrames; ++t)
                encoderFrames[size_t(t * kWidth + c)] = encoderOutput->value({0, c, 0, t});
        // Stale garbage (NaN) in every cache column: reading a hidden position would poison the result.
        keyCache = array({1, kLayers * kWidth, 1, kCache}, ml::MultiArrayDataType::Float16, NAN);
        valueCache = array({1, kLayers * kWidth, 1, kCache}, ml::MultiArrayDataType::Float16, NAN);
        updateMask = array({1, kCache}, ml::MultiArrayDataType::Int32);
        paddingMask = array({1, kCache}, ml::MultiArrayDataType::Float16, -10000.0);
    }

    ml::DictionaryFeatureProvider input(int token, int64_t t) const {
        ml::DictionaryFeatureProvider input;
        input.set("input_ids", ml::FeatureValue(array({1}, ml::MultiArrayDataType::Int32, token)));
        input.set("cache_length", ml::FeatureValue(array({1}, ml::MultiArrayDataType::Int32, double(t))));
        input.set("key_cache", ml::FeatureValue(keyCache));
        input.set("value_cache", ml::FeatureValue(valueCache));
        input.set("kv_cache_update_mask", ml::FeatureValue(updateMask));
        input.set("encoder_output_embeds", ml::FeatureValue(encoderOutput));
        input.set("decoder_key_padding_mask", ml::FeatureValue(paddingMask));
        return input;
    }

    // Feeds `token` at the next position; returns the step's outputs after copying its cache columns.
    std::shared_ptr<ml::DictionaryFeatureProvider> step(const ml::TextDecoderModel& model, int token) {
        const int64_t t = int64_t(tokens.size());
        tokens.push_back(token);
        updateMask->fill(0);
        updateMask->setValue(t, 1);
        paddingMask->setValue(t, 0.0);
        auto output = std::make_shared<ml::DictionaryFeatureProvider>();
        model.predict(input(token, t), {}, *output);
        auto keys = output->multiArray("key_cache_updates"),
             values = output->multiArray("value_cache_updates");
        for (int64_t c = 0; c < kLayers * kWidth; ++c) {
            keyCache->setValue({0, c, 0, t}, keys->value(c));
            valueCache->setValue({0, c, 0, t}, values->value(c));
        }
        return output;
    }
};

class TextDecoderModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ml::TextDecoderShape shape{kVocabulary, kWidth, kLayers, 2, 448, kFrames, kCache, {}};
        for (auto [layer, head] : kAlignmentHeads)
            shape.alignmentHeads.emplace_back(layer, head);
        ml::TextDecoderModel::writer(shape, 11).writeCompiled(dir / "TextDecoder.mlmodelc");
        folder = std::make_unique<ml::ModelFolder>(ml::ModelFolder::read(dir / "TextDecoder.mlmodelc"));
        model = std::make_unique<ml::TextDecoderModel>(*folder);
    }

    // The step's logits and alignment equal the naive decoder run over the whole sequence so far.
    void expectMatchesReference(const Window& window, const ml::DictionaryFeatureProvider& output) {
        const auto reference = naive::decoder(folder->weights(), window.tokens, window.encoderFrames, kFrames,
                                              kWidth, kLayers, kAlignmentHeads);
        auto logits = output.multiArray("logits");
        ASSERT_EQ(logits->shape(), (std::vector<int64_t>{1, 1, kVocabulary}));
        for (int64_t v = 0; v < kVocabulary; ++v)
            ASSERT_NEAR(logits->value(v), reference.logits[size_t(v)],
                        2e-2 + 2e-3 * std::abs(reference.logits[size_t(v)]))
                << "token " << v << " at step " << window.tokens.size();
        auto alignment = output.multiArray("alignment_heads_weights");
        ASSERT_EQ(alignment->shape(), (std::vector<int64_t>{1, kFrames}));
        for (int64_t f = 0; f < kFrames; ++f)
            ASSERT_NEAR(alignment->value(f), reference.alignment[size_t(f)], 1e-3);
    }

    testsupport::TemporaryDirectory dir;
    std::unique_ptr<ml::ModelFolder> folder;
    std::unique_ptr<ml::TextDecoderModel> model;
};

const int kTokens[] = {7, 250, 3, 99, 42, 150, 8};

} // namespace

TEST_F(TextDecoderModelTest, StepsThroughTheCacheMatchFullRecomputationWithTwoWindowsInterleaved) {
    Window first(1), second(2);
    for (int token : kTokens) {
        expectMatchesReference(first, *first.step(*model, token));
        expectMatchesReference(second, *second.step(*model, token + 1));
    }
    EXPECT_EQ(model->crossAttentionComputations(), 2u); // once per window, not per token
}

TEST_F(TextDecoderModelTest, ANewWindowInReusedMemoryIsNeverServedStaleCrossAttention) {
    Window window(3);
    window.step(*model, 5);
    // The engine may hand over the next window's encoder output in the same array object.
    const Window next(4);
    std::memcpy(window.encoderOutput->data(), next.encoderOutput->data(), window.encoderOutput->byteCount());
    window.encoderFrames = next.encoderFrames;
    window.tokens.clear();
    window.paddingMask->fill(-10000.0);
    expectMatchesReference(window, *window.step(*model, 5));
    EXPECT_EQ(model->crossAttentionComputations(), 2u);
}

TEST_F(TextDecoderModelTest, AFinishedWindowsCrossAttentionGoesWhenTheNextWindowAsks) {
    auto first = std::make_unique<Window>(1);
    first->step(*model, 5);
    Window second(2);
    second.step(*model, 5);
    Window sameAsFirst(1); // the first window's encoder output, in an array of its own
    sameAsFirst.step(*model, 5);
    EXPECT_EQ(model->crossAttentionComputations(), 2u) << "a window still in use keeps its entry";
    first.reset();
    sameAsFirst.encoderOutput.reset();
    second.step(*model, 6); // the entry no array holds is no longer the most recent
    Window firstAgain(1);
    expectMatchesReference(firstAgain, *firstAgain.step(*model, 5));
    EXPECT_EQ(model->crossAttentionComputations(), 3u);
    // The most recent entry stays when its array goes: a caller that copies the encoder output for every
    // step still finds it.
    for (int token : {6, 7}) {
        firstAgain.encoderOutput = std::make_shared<ml::MultiArray>(*firstAgain.encoderOutput);
        expectMatchesReference(firstAgain, *firstAgain.step(*model, token));
    }
    EXPECT_EQ(model->crossAttentionComputations(), 3u);
}

TEST_F(TextDecoderModelTest, ConcurrentWindowsGetTheirOwnResults) {
    std::vector<std::thread> threads;
    std::vector<std::vector<double>> results(4);
    for (unsigned w = 0; w < 4; ++w)
        threads.emplace_back([&, w] {
            Window window(10 + w % 2); // two windows, two threads each
            std::shared_ptr<ml::DictionaryFeatureProvider> output;
            for (int token : kTokens)
                output = window.step(*model, token);
            const auto logits = output->multiArray("logits")->toFloats();
            results[w].assign(logits.begin(), logits.end());
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(results[0], results[2]);
    EXPECT_EQ(results[1], results[3]);
    EXPECT_NE(results[0], results[1]);
    Window check(10);
    for (size_t i = 0; i + 1 < std::size(kTokens); ++i)
        check.step(*model, kTokens[i]);
    expectMatchesReference(check, *check.step(*model, kTokens[std::size(kTokens) - 1]));
}

TEST_F(TextDecoderModelTest, ReducedPrecisionPicksTheSameTokensAsFloat) {
    // The engine's default compute units: the window's cross-attention products in reduced precision.
    const ml::TextDecoderModel reduced(*folder, ml::ComputeUnits::cpuAndNeuralEngine);
    Window exactWindow(6), reducedWindow(6);
    auto argmax = [](const ml::DictionaryFeatureProvider& output) {
        const auto logits = output.multiArray("logits")->toFloats();
        return std::max_element(logits.begin(), logits.end()) - logits.begin();
    };
    // A scripted prompt, then the model's own choices fed back.
    int token = 7;
    for (int step = 0; step < int(kCache); ++step) {
        const auto exact = argmax(*exactWindow.step(*model, token));
        EXPECT_EQ(argmax(*reducedWindow.step(reduced, token)), exact) << "step " << step;
        token = step < 3 ? kTokens[step + 1] : int(exact);
    }
}

TEST_F(TextDecoderModelTest, RejectsTokensPositionsAndWidthsOutsideTheModel) {
    Window window(5);
    ml::DictionaryFeatureProvider output;
    EXPECT_THROW(model->predict(window.input(int(kVocabulary), 0), {}, output), ml::PredictionError);
    EXPECT_THROW(model->predict(window.input(-1, 0), {}, output), ml::PredictionError);
    EXPECT_THROW(model->predict(window.input(1, kCache), {}, output), ml::PredictionError);
    EXPECT_THROW(model->predict(window.input(1, -1), {}, output), ml::PredictionError);
    EXPECT_NO_THROW(model->predict(window.input(1, kCache - 1), {}, output));
    // A width that is not whole heads is refused when the model is written, not when it is loaded.
    EXPECT_THROW(ml::TextDecoderModel::writer({kVocabulary, 100, 1, 1, 448, kFrames, kCache, {}}, 1),
                 std::invalid_argument);
}

// Callers size their work from the description: word-timestamp support from whether
// "alignment_heads_weights" is declared, the token budget from the cache length. A decoder that declares
// what it cannot produce must not load (it would fail, or stay silent, at some token).
TEST(TextDecoderModelDescription, PromisesItCannotKeepDoNotLoad) {
    testsupport::TemporaryDirectory dir;
    const ml::TextDecoderShape shape{kVocabulary, 64, 1, 1, 448, kFrames, kCache, {}};
    ml::TextDecoderModel::writer(shape, 3).writeCompiled(dir / "Plain.mlmodelc");
    EXPECT_EQ(ml::Model::load(dir / "Plain.mlmodelc")->description().findOutput("alignment_heads_weights"),
              nullptr);
    for (bool optional : {false, true}) {
        ml::ModelWriter writer = ml::TextDecoderModel::writer(shape, 3);
        writer.description().outputs.push_back(ml::FeatureDescription::multiArray(
            "alignment_heads_weights", ml::MultiArrayDataType::Float16, {1, kFrames}, optional));
        const auto path = dir / (optional ? "Optional.mlmodelc" : "Declared.mlmodelc");
        writer.writeCompiled(path);
        EXPECT_THROW(ml::Model::load(path), ml::ModelLoadError) << "optional: " << optional;
    }
    // A cache longer than the learned positions would promise steps that can only fail.
    EXPECT_THROW(ml::TextDecoderModel::writer({kVocabulary, 64, 1, 1, 16, kFrames, 17, {}}, 3),
                 std::invalid_argument);
    ml::ModelWriter longCache = ml::TextDecoderModel::writer({kVocabulary, 64, 1, 1, 16, kFrames, 16, {}}, 3);
    longCache.parameters().set("kv_cache_length", int64_t(17));
    longCache.description() = {};
    ml::TextDecoderModel::describe({kVocabulary, 64, 1, 1, 16, kFrames, 17, {}}, longCache);
    longCache.writeCompiled(dir / "Long.mlmodelc");
    EXPECT_THROW(ml::Model::load(dir / "Long.mlmodelc"), ml::ModelLoadError);
    ml::TextDecoderModel::writer({kVocabulary, 64, 1, 1, 16, kFrames, 16, {}}, 3)
        .writeCompiled(dir / "Full.mlmodelc");
    EXPECT_NO_THROW(ml::Model::load(dir / "Full.mlmodelc"));
}

// The same checkpoint with 8-bit weights: every step's logits within 3 % (relative RMS) of the half
// model's, over a scripted prompt and then the half model's own choices, on both compute-unit roads.
TEST_F(TextDecoderModelTest, EightBitWeightsStayCloseToTheHalfOnesStepByStep) {
    ml::TextDecoderShape shape{kVocabulary, kWidth, kLayers, 2, 448, kFrames, kCache, {}};
    for (auto [layer, head] : kAlignmentHeads)
        shape.alignmentHeads.emplace_back(layer, head);
    ml::TextDecoderModel::writer(shape, 11, ml::WeightType::int8).writeCompiled(dir / "Int8.mlmodelc");
    const auto int8Folder = ml::ModelFolder::read(dir / "Int8.mlmodelc");
    EXPECT_EQ(int8Folder.parameters().string("weight_type"), "int8");
    for (auto units : {ml::ComputeUnits::cpuOnly, ml::ComputeUnits::cpuAndNeuralEngine}) {
        const ml::TextDecoderModel int8(int8Folder, units);
        Window halfWindow(8), int8Window(8);
        int token = 7;
        for (int step = 0; step < int(kCache); ++step) {
            const auto expected = halfWindow.step(*model, token)->multiArray("logits")->toFloats();
            const auto logits = int8Window.step(int8, token)->multiArray("logits")->toFloats();
            double error = 0, norm = 0;
            for (size_t v = 0; v < expected.size(); ++v) {
                error += (double(expected[v]) - logits[v]) * (double(expected[v]) - logits[v]);
                norm += double(expected[v]) * expected[v];
            }
            EXPECT_LT(std::sqrt(error / norm), 0.03) << "step " << step << " units " << int(units);
            token = step < 3 ? kTokens[step + 1]
                             : int(std::max_element(expected.begin(), expected.end()) - expected.begin());
        }
    }
}
