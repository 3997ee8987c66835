#include "SonavexTests/LogCapture.h"
#include "SonavexTests/TranscribeTaskFixture.h"

#include <gtest/gtest.h>

using namespace tasktest;
using sonavex::DecodingOptions;
using sonavex::TranscribeTask;
using sonavex::WhisperError;

namespace {

std::vector<float> temperaturesOf(const std::vector<Attempt>& attempts) {
    std::vector<float> temperatures;
    for (const auto& attempt : attempts) {
        temperatures.push_back(attempt.temperature);
    }
    return temperatures;
}

std::vector<float> asFloats(const std::vector<ml::Float16>& values) {
    return {values.begin(), values.end()};
}

/// One window of a second through the scripted answers.
std::shared_ptr<sonavex::TranscriptionResult> runOneWindow(Stages& stages, DecodingOptions options = {}) {
    options.windowClipTime = 0;
    return stages.task()->run(silence(16000), options);
}

} // namespace

TEST(TemperatureFallback, TemperaturesAreComputedInHalfPrecision) {
    EXPECT_EQ(asFloats(TranscribeTask::fallbackTemperatures(DecodingOptions())),
              (std::vector<float>{0.0f, 0.199951171875f, 0.39990234375f, 0.599609375f, 0.7998046875f, 1.0f}));
    DecodingOptions options({.temperature = 0.3f, .temperatureIncrementOnFallback = 0.1f});
    EXPECT_EQ(asFloats(TranscribeTask::fallbackTemperatures(options)),
              (std::vector<float>{0.300048828125f, 0.39990234375f, 0.5f, 0.599609375f, 0.7001953125f,
                                  0.7998046875f}));
    options.temperatureFallbackCount = -1;
    EXPECT_TRUE(TranscribeTask::fallbackTemperatures(options).empty());

    std::vector<std::string> texts;
    for (ml::Float16 value : TranscribeTask::fallbackTemperatures(DecodingOptions())) {
        texts.push_back(TranscribeTask::describeTemperature(value));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"0.0", "0.2", "0.4", "0.5996", "0.8", "1.0"}));
    EXPECT_EQ(TranscribeTask::describeTemperature(ml::Float16(0.300048828125f)), "0.3");
    EXPECT_EQ(TranscribeTask::describeTemperature(ml::Float16(12.0f)), "12.0");
}

TEST(TemperatureFallback, AWindowThatAlwaysFallsBackIsTriedAtEveryTemperatureAndKeepsTheLast) {
    Stages stages(wholeWindowScript());
    for (int i = 0; i < 5; ++i) {
        stages.decoder->scripted.push_back(scriptedResult(A, "compressionRatioThreshold"));
    }
    stages.decoder->scripted.push_back(scriptedResult(B, "compressionRatioThreshold"));
    LogCapture log(orvane::Logging::LogLevel::info);
    const auto result = runOneWindow(stages);

    const auto attempts = stages.decoder->attempts();
    EXPECT_EQ(temperaturesOf(attempts),
              (std::vector<float>{0.0f, 0.199951171875f, 0.39990234375f, 0.599609375f, 0.7998046875f, 1.0f}));
    for (const auto& attempt : attempts) {
        EXPECT_TRUE(attempt.freshState) << "the inputs were not reset before a repeated attempt";
    }
    EXPECT_EQ(result->text(), "b");
    EXPECT_EQ(result->timings().totalDecodingFallbacks, 6);
    EXPECT_EQ(result->timings().totalDecodingLoops, 24); // the attempts' timings add up
    EXPECT_EQ(log.linesStartingWith("Fallback #"),
              (std::vector<std::string>{
                  "Fallback #1 (compressionRatioThreshold)", "Fallback #2 (compressionRatioThreshold)",
                  "Fallback #3 (compressionRatioThreshold)", "Fallback #4 (compressionRatioThreshold)",
                  "Fallback #5 (compressionRatioThreshold)", "Fallback #6 (compressionRatioThreshold)"}));
    EXPECT_EQ(log.linesStartingWith("Decoding Temperature: ").back(), "Decoding Temperature: 1.0");
}

TEST(TemperatureFallback, EachRetryReasonTriesAgainAndSilenceDoesNot) {
    {
        Stages stages(wholeWindowScript());
        stages.decoder->scripted = {scriptedResult(A, "firstTokenLogProbThreshold"),
                                    scriptedResult(A, "logProbThreshold"), scriptedResult(B)};
        const auto result = runOneWindow(stages);
        EXPECT_EQ(stages.decoder->attempts().size(), 3u);
        EXPECT_EQ(result->text(), "b");
        EXPECT_EQ(result->timings().totalDecodingFallbacks, 2);
    }
    {
        Stages stages(wholeWindowScript());
        stages.decoder->scripted = {scriptedResult(A, "silence", false), scriptedResult(B)};
        const auto result = runOneWindow(stages);
        EXPECT_EQ(stages.decoder->attempts().size(), 1u);
        EXPECT_EQ(result->text(), "a");
        EXPECT_EQ(result->timings().totalDecodingFallbacks, 0);
    }
}

TEST(TemperatureFallback, TheRealDecodersRepetitionFallsBackAtEveryTemperature) {
    // "a" after "a" to the step limit: far too repetitive at any temperature, the peak being certain
    // (without timestamps, whose rules would make the first token a draw among the timestamps).
    Stages stages({{decodertest::NO_TIMESTAMPS, 3, A, -1}, {A, -1, A, -1}});
    LogCapture log(orvane::Logging::LogLevel::info);
    const auto result = runOneWindow(stages, DecodingOptions({.withoutTimestamps = true}));
    EXPECT_EQ(log.linesStartingWith("Fallback #6").size(), 1u);
    EXPECT_EQ(stages.decoder->attempts().size(), 6u);
    EXPECT_EQ(result->timings().totalDecodingFallbacks, 6);
    ASSERT_EQ(result->segments().size(), 1u);
    EXPECT_FLOAT_EQ(result->segments()[0].temperature, 1.0f);
    EXPECT_GT(result->segments()[0].compressionRatio, 2.4f);
    EXPECT_EQ(result->segments()[0].tokens.size(), 224u); // 223 tokens and the end
}

TEST(TemperatureFallback, NoFallbackCountMeansOneAttemptWithItsBookkeeping) {
    Stages stages(wholeWindowScript());
    stages.decoder->scripted = {scriptedResult(A, "logProbThreshold")};
    LogCapture log(orvane::Logging::LogLevel::info);
    const auto result =
        runOneWindow(stages, DecodingOptions({.temperature = 0.3f, .temperatureFallbackCount = 0}));
    EXPECT_EQ(temperaturesOf(stages.decoder->attempts()), (std::vector<float>{0.300048828125f}));
    EXPECT_EQ(result->timings().totalDecodingFallbacks, 1);
    EXPECT_EQ(log.linesStartingWith("Fallback #"),
              (std::vector<std::string>{"Fallback #1 (logProbThreshold)"}));
    EXPECT_EQ(result->text(), "a");
}

TEST(TemperatureFallback, AMultilingualDecoderDetectsTheLanguageBeforeEveryAttempt) {
    Stages stages(wholeWindowScript());
    stages.decoder->scripted = {scriptedResult(A, "logProbThreshold"), scriptedResult(B)};
    stages.decoder->detected = "ja";
    LogCapture log;
    const auto result = runOneWindow(stages, DecodingOptions({.detectLanguage = true}));
    const auto attempts = stages.decoder->attempts();
    ASSERT_EQ(attempts.size(), 2u);
    EXPECT_EQ(stages.decoder->detections, 2);
    for (const auto& attempt : attempts) {
        EXPECT_EQ(attempt.language, "ja");
        EXPECT_EQ(attempt.prompt, (std::vector<int64_t>{SOT, JA, TRANSCRIBE, T0}));
    }
    EXPECT_EQ(result->language(), "ja");
    EXPECT_DOUBLE_EQ(result->timings().decodingPredictions, 0.5); // the detections' share
    EXPECT_EQ(
        log.linesStartingWith("Prefill prompt updated to: ").front(),
        R"(Prefill prompt updated to: ["<|startoftranscript|>", "<|ja|>", "<|transcribe|>", "<|0.00|>"])");
}

TEST(TemperatureFallback, DetectionIsSkippedOrItsFailureLeavesTheLanguageToTheDecoder) {
    {
        // Detection fails: no language for the attempt, the result's language is taken.
        Stages stages(wholeWindowScript());
        stages.decoder->scripted = {scriptedResult(A)};
        const auto result = runOneWindow(stages, DecodingOptions({.detectLanguage = true}));
        EXPECT_EQ(stages.decoder->detections, 1);
        EXPECT_EQ(stages.decoder->attempts()[0].language, std::nullopt);
        EXPECT_EQ(result->language(), "de");
    }
    {
        // Without prefill the language is detected and recorded, the prompt stays.
        Stages stages(wholeWindowScript());
        stages.decoder->scripted = {scriptedResult(A)};
        stages.decoder->detected = "ja";
        const auto result =
            runOneWindow(stages, DecodingOptions({.usePrefillPrompt = false, .detectLanguage = true}));
        EXPECT_EQ(stages.decoder->attempts()[0].prompt, (std::vector<int64_t>{SOT}));
        EXPECT_EQ(result->language(), "ja");
    }
    // A language given, detection off, or a decoder that is not multilingual: no detection.
    for (auto [options, multilingual] :
         {std::pair{DecodingOptions({.language = "en", .detectLanguage = true}), true},
          std::pair{DecodingOptions({.detectLanguage = false}), true},
          std::pair{DecodingOptions({.detectLanguage = true}), false}}) {
        Stages stages(wholeWindowScript());
        stages.decoder->setIsModelMultilingual(multilingual);
        stages.decoder->scripted = {scriptedResult(A)};
        stages.decoder->detected = "ja";
        runOneWindow(stages, options);
        EXPECT_EQ(stages.decoder->detections, 0);
    }
}

TEST(TemperatureFallback, VerboseFollowsTheLogLevelNotTheCaller) {
    Stages stages(wholeWindowScript());
    stages.decoder->scripted = {scriptedResult(A)};
    {
        LogCapture log(orvane::Logging::LogLevel::error);
        runOneWindow(stages, DecodingOptions({.verbose = false}));
    }
    {
        LogCapture log(orvane::Logging::LogLevel::none);
        runOneWindow(stages, DecodingOptions({.verbose = true}));
    }
    const auto attempts = stages.decoder->attempts();
    ASSERT_EQ(attempts.size(), 2u);
    EXPECT_TRUE(attempts[0].verbose);
    EXPECT_FALSE(attempts[1].verbose);
}
