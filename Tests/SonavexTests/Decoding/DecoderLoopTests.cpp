// The decoder loop over the scripted model: forced and skipped prompt tokens, the stop tests, the step
// bound, progress and early stop, the result's verdicts, and the errors of a step.
#include "OrvaneCore/Errors/CancellationError.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Core/Text/LogitsFiltering.h"
#include "Sonavex/Core/Text/LogitsSuppression.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/DecoderTestSupport.h"
#include "SonavexTests/LogCapture.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace decodertest;
using sonavex::DecodingOptions;
using sonavex::DecodingResult;
using sonavex::WhisperError;

namespace {

DecodingResult decode(ScriptedDecoder& scripted, const DecodingOptions& options,
                      sonavex::DecodingInputs& state,
                      const sonavex::TranscriptionProgressCallback& callback = {}) {
    sonavex::GreedyTokenSampler sampler(ml::Float16(0.0f), EOT, options);
    return scripted.decoder.decodeText(ScriptedDecoder::encoderOutput(), state, sampler, options, callback);
}

DecodingOptions withoutTimestamps(DecodingOptions::Arguments arguments = {}) {
    arguments.withoutTimestamps = true;
    return DecodingOptions(arguments);
}

template <class Call> void expectWhisperError(Call call, WhisperError::Kind kind, const std::string& prefix) {
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), kind) << error.message();
        EXPECT_EQ(error.message().rfind(prefix, 0), 0u) << error.message();
    }
}

// Everything minus infinity: no token can be sampled.
struct SuppressEverything : sonavex::LogitsFiltering {
    std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                 const std::vector<int64_t>&) override {
        sonavex::suppressTokenRange(*logits, 0, logits->count());
        return logits;
    }
};

} // namespace

TEST(DecoderLoop, ForcesThePromptThenKeepsSampledTokensUntilTheEnd) {
    ScriptedDecoder scripted({{T0, 3, A, -1}, {A, 4, B, -1}, {B, 5, T1, -1}, {T1, 6, EOT, -1}});
    LogCapture log;
    auto state = scripted.inputs(DecodingOptions());
    ASSERT_EQ(state->initialPrompt, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, T0}));
    const DecodingResult result = decode(scripted, DecodingOptions(), *state);

    EXPECT_EQ(result.tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, T0, A, B, T1, EOT}));
    ASSERT_EQ(result.tokenLogProbs.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        ASSERT_EQ(result.tokenLogProbs[i].size(), 1u);
        EXPECT_EQ(result.tokenLogProbs[i].begin()->first, result.tokens[i]);
        EXPECT_LE(result.tokenLogProbs[i].begin()->second, 0.0f);
        EXPECT_GT(result.tokenLogProbs[i].begin()->second, -1e-6f); // peaked or forced
    }
    EXPECT_EQ(result.text, "<|startoftranscript|><|en|><|transcribe|><|0.00|>ab<|1.00|><|endoftext|>");
    EXPECT_EQ(result.language, "en");
    EXPECT_EQ(result.languageProbs, (std::map<std::string, float>{{"en", 0.0f}}));
    EXPECT_EQ(result.noSpeechProb, 0.0f);
    EXPECT_EQ(result.temperature, 0.0f);
    EXPECT_FALSE(result.fallback);
    // Seven steps; the last one sampled the end and touched no cache.
    EXPECT_EQ(result.timings->totalDecodingLoops, 7);
    EXPECT_EQ(result.timings->totalKVUpdateRuns, 6);
    EXPECT_LT(result.timings->firstTokenTime, std::numeric_limits<double>::max());
    EXPECT_EQ(result.timings->pipelineStart, std::numeric_limits<double>::max());

    // The flat answers of the forced steps make the timestamp rules pick the first timestamp at step 2,
    // which takes the prompt's place at step 3.
    EXPECT_EQ(log.linesStartingWith("Forcing prompt tokenIndex: ").size(), 3u);
    EXPECT_EQ(
        log.linesStartingWith("Forcing prompt tokenIndex: 2, token: 50359, text: <|transcribe|>").size(),
        1u);
    EXPECT_EQ(log.linesStartingWith("Skipping prompt tokenIndex: 3, token: 50364, text: <|0.00|>").size(),
              1u);
    EXPECT_EQ(log.linesStartingWith("Predicted next tokenIndex: 7, token: 50257").size(), 1u);
    EXPECT_EQ(log.linesStartingWith("--------------- DECODER INPUTS DEBUG").size(), 4u);
    EXPECT_EQ(log.linesStartingWith("Running main loop for a maximum of 223 iterations").size(), 1u);

    // Cache column t holds step t's input token; the masks open position 6 next.
    ASSERT_TRUE(result.cache && result.cache->alignmentWeights);
    EXPECT_EQ(result.cache->keyCache, state->keyCache);
    EXPECT_EQ(state->keyCache->value({0, 1, 0, 4}), double(A % 1024));
    EXPECT_EQ(state->keyCache->value({0, 2, 0, 5}), 5.0);
    EXPECT_EQ(state->kvCacheUpdateMask->value(6), 1.0);
    EXPECT_EQ(state->kvCacheUpdateMask->value(5), 0.0);
    EXPECT_EQ(state->decoderKeyPaddingMask->value(6), 0.0);
    EXPECT_EQ(state->decoderKeyPaddingMask->value(7), -10000.0);
    EXPECT_EQ(state->cacheLength->value(0), 6.0);
}

TEST(DecoderLoop, ATextCandidateBeforeTheLastPromptTokenLeavesItForced) {
    // The prompt closes with a timestamp, but no timestamp rules: the flat forced steps sample id 0.
    ScriptedDecoder scripted({{T0, 3, EOT, -1}});
    LogCapture log;
    auto state = scripted.inputs(DecodingOptions(), {SOT, EN, TRANSCRIBE, T0});
    const auto result = decode(scripted, withoutTimestamps(), *state);
    EXPECT_EQ(log.linesStartingWith("Forcing prompt tokenIndex: 3, token: 50364").size(), 1u);
    EXPECT_EQ(result.tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, T0, EOT}));
}

TEST(DecoderLoop, StopsOnTheTokenBudgetOrTheSampleLength) {
    ScriptedDecoder scripted({}, A);
    auto state = scripted.inputs(withoutTimestamps());
    ASSERT_EQ(state->initialPrompt, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, NO_TIMESTAMPS}));
    const auto full = decode(scripted, withoutTimestamps(), *state);
    // 223 tokens kept, then the end from finalize; step 222 stops on the budget.
    ASSERT_EQ(full.tokens.size(), 224u);
    EXPECT_TRUE(
        std::all_of(full.tokens.begin() + 4, full.tokens.end() - 1, [](int64_t t) { return t == A; }));
    EXPECT_EQ(full.tokens.back(), EOT);
    EXPECT_EQ(full.timings->totalDecodingLoops, 223);
    EXPECT_EQ(full.timings->totalKVUpdateRuns, 222);
    EXPECT_EQ(state->kvCacheUpdateMask->value(222), 1.0);
    ASSERT_TRUE(full.fallback);
    EXPECT_TRUE(full.fallback->needsFallback);
    EXPECT_EQ(full.fallback->fallbackReason, "compressionRatioThreshold");
    EXPECT_GT(full.compressionRatio, 2.4f);

    state->reset(224);
    const auto shorter = decode(scripted, withoutTimestamps({.sampleLength = 5}), *state);
    EXPECT_EQ(shorter.tokens.size(), 4u + 5u + 1u);

    // One prompt token, no samples: no step at all.
    state->reset(224);
    state->initialPrompt = {SOT};
    const auto none = decode(scripted, withoutTimestamps({.sampleLength = 0}), *state);
    EXPECT_EQ(none.tokens, (std::vector<int64_t>{SOT, EOT}));
    EXPECT_EQ(none.timings->totalDecodingLoops, 0);
    EXPECT_EQ(none.timings->firstTokenTime, std::numeric_limits<double>::max());
}

TEST(DecoderLoop, FirstTokenAndSilenceVerdicts) {
    // Flat logits everywhere: the first sample is id 0 with log-probability -ln(51865) ~ -10.9.
    ScriptedDecoder scripted({});
    auto state = scripted.inputs(withoutTimestamps());
    const auto low = decode(scripted, withoutTimestamps(), *state);
    EXPECT_EQ(low.tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, NO_TIMESTAMPS, EOT}));
    ASSERT_TRUE(low.fallback);
    EXPECT_TRUE(low.fallback->needsFallback);
    EXPECT_EQ(low.fallback->fallbackReason, "firstTokenLogProbThreshold");
    EXPECT_EQ(low.timings->totalKVUpdateRuns, 3);

    // Without the threshold the sample is kept; a negative no-speech threshold calls it silence.
    state->reset(224);
    const auto silence = decode(
        scripted,
        withoutTimestamps(
            {.sampleLength = 2, .firstTokenLogProbThreshold = std::nullopt, .noSpeechThreshold = -0.1f}),
        *state);
    EXPECT_EQ(silence.tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, NO_TIMESTAMPS, 0, 0, EOT}));
    ASSERT_TRUE(silence.fallback);
    EXPECT_FALSE(silence.fallback->needsFallback);
    EXPECT_EQ(silence.fallback->fallbackReason, "silence");
    EXPECT_NEAR(silence.avgLogProb, 2 * -std::log(51865.0f) / 7, 1e-3f);
}

TEST(DecoderLoop, LanguageComesFromTheOptionsOrTheTokens) {
    ScriptedDecoder scripted({}, EOT);
    auto state = scripted.inputs(withoutTimestamps());
    const auto german = decode(scripted, withoutTimestamps({.language = "de"}), *state);
    EXPECT_EQ(german.language, "de");
    EXPECT_EQ(german.languageProbs, (std::map<std::string, float>{{"de", 0.0f}}));
    state->reset(224);
    state->initialPrompt = {SOT, JA, TRANSCRIBE, NO_TIMESTAMPS};
    const auto japanese = decode(scripted, withoutTimestamps(), *state);
    EXPECT_EQ(japanese.language, "ja");
    EXPECT_EQ(japanese.languageProbs, (std::map<std::string, float>{{"ja", 0.0f}}));
    state->reset(224);
    state->initialPrompt = {SOT, NO_TIMESTAMPS};
    EXPECT_EQ(decode(scripted, withoutTimestamps(), *state).language, "en");
}

TEST(DecoderLoop, ProgressFollowsEveryStepThatUpdatedTheCache) {
    ScriptedDecoder scripted({{NO_TIMESTAMPS, 3, A, -1}, {A, 4, EOT, -1}});
    std::mutex mutex;
    std::vector<sonavex::TranscriptionProgress> reports;
    auto state = scripted.inputs(withoutTimestamps());
    const auto result = decode(scripted, withoutTimestamps({.skipSpecialTokens = true}), *state,
                               [&](const sonavex::TranscriptionProgress& progress) -> std::optional<bool> {
                                   scripted.decoder.waitForProgress(); // from a callback: returns at once
                                   std::lock_guard lock(mutex);
                                   reports.push_back(progress);
                                   return std::nullopt;
                               });
    scripted.decoder.waitForProgress();
    EXPECT_EQ(result.tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, NO_TIMESTAMPS, A, EOT}));
    ASSERT_EQ(reports.size(), 4u); // steps 0 to 3; step 4 sampled the end
    EXPECT_EQ(reports[0].tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, NO_TIMESTAMPS}));
    EXPECT_EQ(reports[0].timings.firstTokenTime, std::numeric_limits<double>::max());
    EXPECT_EQ(reports[3].tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, NO_TIMESTAMPS, A}));
    EXPECT_EQ(reports[3].text, "a"); // special tokens left out
    EXPECT_EQ(reports[3].timings.totalKVUpdateRuns, 4);
    EXPECT_EQ(reports[3].timings.totalDecodingLoops, 3);
    EXPECT_LT(reports[3].timings.firstTokenTime, std::numeric_limits<double>::max());
    EXPECT_FALSE(reports[3].temperature);
    EXPECT_EQ(reports[3].windowId, 0);
    EXPECT_NEAR(*reports[3].avgLogprob, 0.0f, 1e-6f);
}

TEST(DecoderLoop, AStopRequestEndsTheWindowAtTheNextCheck) {
    ScriptedDecoder scripted({}, A);
    LogCapture log;
    // The report of step 4 answers false only once step 6 has begun; step 6 then waits for the answer, so
    // the request is seen by step 6's check and by no earlier one.
    std::mutex mutex;
    std::condition_variable changed;
    bool stepSixBegun = false;
    scripted.decoder.beforePrediction = [&](int64_t position, const ml::MultiArray*) {
        if (position == 6) {
            {
                std::lock_guard lock(mutex);
                stepSixBegun = true;
            }
            changed.notify_all();
            scripted.decoder.waitForProgress();
        }
    };
    auto state = scripted.inputs(withoutTimestamps());
    const auto result = decode(scripted, withoutTimestamps(), *state,
                               [&](const sonavex::TranscriptionProgress& progress) -> std::optional<bool> {
                                   if (progress.tokens.size() != 6) {
                                       return true;
                                   }
                                   std::unique_lock lock(mutex);
                                   changed.wait(lock, [&] { return stepSixBegun; });
                                   return false;
                               });
    EXPECT_EQ(result.tokens.size(), 4u + 4u + 1u); // samples of steps 3 to 6, then the end
    EXPECT_EQ(log.linesStartingWith("Early stopping").size(), 1u);
    EXPECT_TRUE(log.linesStartingWith("Early stop flag not found").empty());

    // A false answer at a forced step is ignored.
    scripted.decoder.beforePrediction = [&](int64_t, const ml::MultiArray*) {
        scripted.decoder.waitForProgress();
    };
    state->reset(224);
    const auto ignored = decode(scripted, withoutTimestamps({.sampleLength = 10}), *state,
                                [](const sonavex::TranscriptionProgress& progress) -> std::optional<bool> {
                                    return progress.tokens.size() != 4;
                                });
    EXPECT_EQ(ignored.tokens.size(), 4u + 10u + 1u);
}

TEST(DecoderLoop, StepErrors) {
    ScriptedDecoder scripted({}, A);
    auto state = scripted.inputs(withoutTimestamps());
    sonavex::GreedyTokenSampler sampler(ml::Float16(0.0f), EOT, DecodingOptions());
    using Kind = WhisperError::Kind;

    expectWhisperError([&] { scripted.decoder.decodeText(nullptr, *state, sampler, DecodingOptions()); },
                       Kind::prepareDecoderInputsFailed, "Input must be MLMultiArray");
    state->reset(224);
    auto empty = scripted.inputs(DecodingOptions(), {});
    empty->initialPrompt.clear();
    expectWhisperError([&] { decode(scripted, DecodingOptions(), *empty); }, Kind::prepareDecoderInputsFailed,
                       "Initial prompt must not be empty");

    scripted.decoder.dropCache = true;
    expectWhisperError([&] { decode(scripted, DecodingOptions(), *state); }, Kind::decodingFailed,
                       "The decoder's prediction has no \"key_cache_updates\" output");
    scripted.decoder.dropCache = false;

    scripted.decoder.setLogitsFilters(
        std::vector<std::shared_ptr<sonavex::LogitsFiltering>>{std::make_shared<SuppressEverything>()});
    state->reset(224);
    expectWhisperError([&] { decode(scripted, DecodingOptions(), *state); }, Kind::decodingFailed,
                       "Sampling error: ");
    scripted.decoder.setLogitsFilters(std::nullopt);

    // No model: a prediction without logits, and no cancellation check before it.
    scripted.decoder.unloadModel();
    std::stop_source stopped;
    stopped.request_stop();
    const sonavex::TextDecoderMLMultiArrayInputType input(
        state->inputIds, state->cacheLength, state->keyCache, state->valueCache, state->kvCacheUpdateMask,
        ScriptedDecoder::encoderOutput()->array(), state->decoderKeyPaddingMask);
    const auto output = std::dynamic_pointer_cast<sonavex::TextDecoderMLMultiArrayOutputType>(
        scripted.decoder.predictLogits(input, stopped.get_token()));
    ASSERT_TRUE(output);
    EXPECT_FALSE(output->logits);
    EXPECT_FALSE(output->cache);
    EXPECT_FALSE(scripted.decoder.predictLogits(
        state->inputIds, state->cacheLength, state->keyCache, state->valueCache, state->kvCacheUpdateMask,
        ScriptedDecoder::encoderOutput()->array(), state->decoderKeyPaddingMask));
    expectWhisperError([&] { decode(scripted, DecodingOptions(), *state); }, Kind::decodingLogitsFailed,
                       "Unable to decode logits");

    scripted.load({}, A);
    EXPECT_THROW(scripted.decoder.predictLogits(input, stopped.get_token()), orvane::CancellationError);
    scripted.decoder.setTokenizer(nullptr);
    expectWhisperError([&] { decode(scripted, DecodingOptions(), *state); }, Kind::tokenizerUnavailable,
                       "Tokenizer is unavailable");
}

TEST(DecoderLoop, ConcurrentWindowsStopIndependentlyAndShareTheLanguageFilter) {
    ScriptedDecoder scripted({{SOT, 0, JA, -1}}, A);
    auto stopping = scripted.inputs(withoutTimestamps());
    auto running = scripted.inputs(withoutTimestamps());
    // The stopping window waits for every report before each step, so its request is seen soon.
    scripted.decoder.beforePrediction = [&](int64_t, const ml::MultiArray* cacheLength) {
        if (cacheLength == stopping->cacheLength.get()) {
            scripted.decoder.waitForProgress();
        }
    };
    DecodingResult stopped, ran;
    std::vector<std::string> languages(4);
    std::atomic<int> reportsOfTheRunningWindow = 0;
    {
        std::vector<std::jthread> threads;
        threads.emplace_back([&] {
            stopped = decode(scripted, withoutTimestamps(), *stopping,
                             [](const sonavex::TranscriptionProgress&) { return std::optional(false); });
        });
        threads.emplace_back([&] {
            ran = decode(scripted, withoutTimestamps({.sampleLength = 30}), *running,
                         [&](const sonavex::TranscriptionProgress&) {
                             ++reportsOfTheRunningWindow;
                             return std::optional(true);
                         });
        });
        for (std::size_t i = 0; i < languages.size(); ++i) {
            threads.emplace_back([&, i] {
                auto state = scripted.decoder.prepareDecoderInputs({});
                sonavex::GreedyTokenSampler sampler(ml::Float16(0.0f), EOT, DecodingOptions());
                languages[i] = scripted.decoder
                                   .detectLanguage(ScriptedDecoder::encoderOutput(), *state, sampler,
                                                   DecodingOptions(), ml::Float16(0.0f))
                                   .language;
            });
        }
    }
    scripted.decoder.waitForProgress();
    // Stopped after its first sampling step's check, or the next one's.
    EXPECT_GE(stopped.tokens.size(), 4u + 1u + 1u);
    EXPECT_LE(stopped.tokens.size(), 4u + 2u + 1u);
    EXPECT_EQ(ran.tokens.size(), 4u + 30u + 1u);
    EXPECT_EQ(reportsOfTheRunningWindow, 3 + 30); // every step: forced and sampling
    EXPECT_EQ(languages, std::vector<std::string>(4, "ja"));
}
