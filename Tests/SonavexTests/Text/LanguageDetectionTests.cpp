// One decoder step with only language tokens open: the detected code, its log-probability, the fallback
// for unsupported codes, the filter kept until the model is unloaded, and the order of the errors.
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/DecoderTestSupport.h"
#include "SonavexTests/LogCapture.h"

#include <gtest/gtest.h>

using namespace decodertest;
using sonavex::DecodingOptions;
using sonavex::WhisperError;

namespace {

constexpr int XX = 50270; // a language token of a code the engine does not know

sonavex::DecodingResult detect(ScriptedDecoder& scripted, sonavex::DecodingInputs& state) {
    sonavex::GreedyTokenSampler sampler(ml::Float16(0.0f), EOT, DecodingOptions());
    return scripted.decoder.detectLanguage(ScriptedDecoder::encoderOutput(), state, sampler,
                                           DecodingOptions(), ml::Float16(0.0f));
}

} // namespace

TEST(LanguageDetection, PicksTheLikeliestLanguageToken) {
    // The start of transcript is answered with English text, but only languages are open.
    ScriptedDecoder scripted({{SOT, 0, JA, -1}});
    auto state = scripted.inputs(DecodingOptions());
    state->inputIds->setValue(0, 7);
    state->cacheLength->setValue(0, 9);
    const auto result = detect(scripted, *state);
    EXPECT_EQ(result.language, "ja");
    ASSERT_EQ(result.languageProbs.size(), 1u);
    EXPECT_LE(result.languageProbs.at("ja"), 0.0f);
    EXPECT_GT(result.languageProbs.at("ja"), -1e-6f); // all but certain among the two language tokens
    EXPECT_TRUE(result.tokens.empty());
    EXPECT_TRUE(result.text.empty());
    EXPECT_FALSE(result.cache);
    EXPECT_FALSE(result.fallback);
    ASSERT_TRUE(result.timings);
    EXPECT_EQ(result.timings->totalDecodingLoops, 0);
    EXPECT_EQ(state->inputIds->value(0), double(SOT));
    EXPECT_EQ(state->cacheLength->value(0), 0.0);
    EXPECT_EQ(state->keyCache->value({0, 0, 0, 0}), 0.0); // no cache update

    // Text tokens only: the filter leaves the two languages, equally likely; the lower id wins.
    scripted.load({{SOT, 0, A, -1}});
    const auto even = detect(scripted, *state);
    EXPECT_EQ(even.language, "en");
    EXPECT_NEAR(even.languageProbs.at("en"), -std::log(2.0f), 1e-3f);
}

TEST(LanguageDetection, UnknownCodesFallBackToEnglishAndTheFilterLastsUntilUnload) {
    ScriptedDecoder scripted({{SOT, 0, XX, -1}});
    auto state = scripted.inputs(DecodingOptions());
    // The first call builds the filter with this tokenizer's languages (no "xx").
    EXPECT_EQ(detect(scripted, *state).language, "en");

    auto withXx = tableTokenizer();
    withXx->addLanguage("xx", XX);
    scripted.decoder.setTokenizer(withXx);
    EXPECT_EQ(detect(scripted, *state).languageProbs.count("xx"), 0u); // still the first call's filter

    scripted.decoder.unloadModel();
    scripted.load({{SOT, 0, XX, -1}});
    LogCapture log;
    const auto result = detect(scripted, *state);
    EXPECT_EQ(result.language, "en");
    EXPECT_EQ(result.languageProbs.count("xx"), 1u);
    EXPECT_EQ(log.lines().back(), "Detected language xx is not supported, defaulting to en");
}

TEST(LanguageDetection, ErrorsInOrder) {
    ScriptedDecoder scripted({{SOT, 0, JA, -1}});
    auto state = scripted.inputs(DecodingOptions());
    auto expectError = [&](WhisperError::Kind kind, const std::string& message,
                           std::shared_ptr<sonavex::AudioEncoderOutputType> encoderOutput) {
        sonavex::GreedyTokenSampler sampler(ml::Float16(0.0f), EOT, DecodingOptions());
        try {
            scripted.decoder.detectLanguage(encoderOutput, *state, sampler, DecodingOptions(),
                                            ml::Float16(0.0f));
            ADD_FAILURE() << "no error";
        } catch (const WhisperError& error) {
            EXPECT_EQ(error.kind(), kind);
            EXPECT_EQ(error.message(), message);
        }
    };
    // Not an array: found after position 0 was written.
    state->inputIds->setValue(0, 7);
    expectError(WhisperError::Kind::prepareDecoderInputsFailed, "Input must be MLMultiArray", nullptr);
    EXPECT_EQ(state->inputIds->value(0), double(SOT));

    // No model: found before anything is written.
    scripted.decoder.unloadModel();
    state->inputIds->setValue(0, 7);
    expectError(WhisperError::Kind::modelsUnavailable, "Failed to read logits size from model", nullptr);
    EXPECT_EQ(state->inputIds->value(0), 7.0);

    scripted.decoder.setTokenizer(nullptr);
    expectError(WhisperError::Kind::tokenizerUnavailable, "Tokenizer is unavailable", nullptr);
}
