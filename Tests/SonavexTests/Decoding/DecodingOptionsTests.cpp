#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace sonavex;
using sonavex::json::Json;

namespace {

DecodingOptions withClips(std::vector<float> clips) {
    DecodingOptions::Arguments arguments;
    arguments.clipTimestamps = std::move(clips);
    return DecodingOptions(arguments);
}

std::vector<SeekClip> clips(std::vector<float> times, int64_t frames = 480000) {
    return withClips(std::move(times)).prepareSeekClips(frames);
}

/// The debug description of the DecodingError that reading `text` as T throws.
template <class T> std::string decodingFailure(const std::string& text) {
    try {
        (void)json::parseDocument(text).get<T>();
    } catch (const orvane::DecodingError& error) {
        return error.debugDescription();
    }
    return "(no error)";
}

} // namespace

TEST(DecodingOptions, InitializerResolvesItsThreeOptionalArguments) {
    EXPECT_TRUE(DecodingOptions({.usePrefillPrompt = false}).detectLanguage);
    EXPECT_FALSE(DecodingOptions({.usePrefillPrompt = false, .detectLanguage = false}).detectLanguage);
    EXPECT_TRUE(DecodingOptions({.usePrefillPrompt = true, .detectLanguage = true}).detectLanguage);
    EXPECT_EQ(DecodingOptions({.concurrentWorkerCount = 0}).concurrentWorkerCount, 0);
    EXPECT_EQ(DecodingOptions({.suppressTokens = std::vector<int64_t>{-1, 7}}).suppressTokens,
              (std::vector<int64_t>{-1, 7}));
}

TEST(DecodingOptions, SeekClipsPairTheClipTimesAsTheyStand) {
    EXPECT_EQ(clips({}), (std::vector<SeekClip>{{0, 480000}}));
    EXPECT_EQ(clips({1.5f}), (std::vector<SeekClip>{{24000, 480000}}));
    EXPECT_EQ(clips({0, 10, 20}), (std::vector<SeekClip>{{0, 160000}, {320000, 480000}}));
    EXPECT_EQ(clips({2.5f, 1.0f}), (std::vector<SeekClip>{{40000, 16000}}));
    // Halves round away from zero: 0.00003125 s is half a sample either way.
    EXPECT_EQ(clips({0.00003125f, -0.00003125f}), (std::vector<SeekClip>{{1, -1}}));
    EXPECT_EQ(clips({1.0f}, 100), (std::vector<SeekClip>{{16000, 100}}));
}

TEST(DecodingOptions, SeekClipsRefuseTimesWithoutASampleIndex) {
    const float largest = std::numeric_limits<float>::max();
    for (float bad : {std::nanf(""), std::numeric_limits<float>::infinity(), largest, -largest, 6e14f}) {
        try {
            clips({0.0f, bad});
            ADD_FAILURE() << "accepted " << bad;
        } catch (const WhisperError& error) {
            EXPECT_EQ(error.kind(), WhisperError::Kind::transcriptionFailed);
            EXPECT_NE(error.message().find("Clip timestamp"), std::string::npos) << error.message();
        }
    }
    // The largest index still in range converts.
    EXPECT_EQ(clips({5.0e14f, 0.0f})[0].start, static_cast<int64_t>(std::round(5.0e14f * 16000.0f)));
}

TEST(DecodingOptions, JsonRoundTripKeepsEveryFieldAndLeavesOutAbsentOptionals) {
    DecodingOptions options({.verbose = true,
                             .task = DecodingTask::translate,
                             .language = "ja",
                             .temperature = 0.1f,
                             .maxInitialTimestamp = 1.0f,
                             .maxWindowSeek = 12345,
                             .clipTimestamps = {0.1f, 2.5f},
                             .promptTokens = std::vector<int64_t>{1, 2},
                             .prefixTokens = std::vector<int64_t>{},
                             .suppressTokens = std::vector<int64_t>{-1},
                             .compressionRatioThreshold = std::nullopt,
                             .chunkingStrategy = ChunkingStrategy::vad});
    Json encoded = options;
    std::vector<std::string> keys;
    for (const auto& item : encoded.items()) {
        keys.push_back(item.key());
    }
    EXPECT_EQ(keys.size(), 26u);
    EXPECT_EQ(keys.front(), "verbose");
    EXPECT_EQ(keys.back(), "chunkingStrategy");
    EXPECT_FALSE(encoded.contains("compressionRatioThreshold"));
    EXPECT_EQ(encoded["task"].dump(), R"({"translate":{}})");
    EXPECT_EQ(encoded["clipTimestamps"].dump(), "[0.1,2.5]");
    EXPECT_EQ(encoded["temperature"].dump(), "0.1");
    EXPECT_EQ(encoded["chunkingStrategy"], "vad");
    EXPECT_EQ(encoded.get<DecodingOptions>(), options);

    Json defaults = DecodingOptions();
    for (const char* absent : {"language", "maxInitialTimestamp", "maxWindowSeek", "promptTokens",
                               "prefixTokens", "chunkingStrategy"}) {
        EXPECT_FALSE(defaults.contains(absent)) << absent;
    }
    EXPECT_EQ(defaults.size(), 21u);
    EXPECT_EQ(defaults.get<DecodingOptions>(), DecodingOptions());
}

TEST(DecodingOptions, ReadingRequiresEveryNonOptionalKeyAndRightTypes) {
    Json defaults = DecodingOptions();
    for (const char* key : {"verbose", "detectLanguage", "concurrentWorkerCount", "suppressTokens"}) {
        Json document = defaults;
        document.erase(key);
        try {
            (void)document.get<DecodingOptions>();
            ADD_FAILURE() << "read without " << key;
        } catch (const orvane::DecodingError& error) {
            EXPECT_EQ(error.kind(), orvane::DecodingError::Kind::keyNotFound) << key;
        }
    }
    Json mistyped = defaults;
    mistyped["topK"] = "5";
    EXPECT_THROW((void)mistyped.get<DecodingOptions>(), orvane::DecodingError);
    mistyped = defaults;
    mistyped["sampleLength"] = 2.5;
    EXPECT_THROW((void)mistyped.get<DecodingOptions>(), orvane::DecodingError);
    mistyped = defaults;
    mistyped["chunkingStrategy"] = "silence";
    EXPECT_NE(decodingFailure<DecodingOptions>(mistyped.dump()).find("ChunkingStrategy"), std::string::npos);
    EXPECT_EQ(decodingFailure<DecodingOptions>("[1, 2"), "The given data was not valid JSON.");

    // A failed read leaves the target as it was.
    DecodingOptions target({.language = "de"});
    Json broken = defaults;
    broken.erase("windowClipTime");
    EXPECT_THROW(sonavex::from_json(broken, target), orvane::DecodingError);
    EXPECT_EQ(target.language, "de");
}

TEST(DecodingTask, NeedsExactlyOneCaseName) {
    EXPECT_EQ(decodingFailure<DecodingTask>(R"({"transcribe": {}, "translate": {}})"),
              "Invalid number of keys found, expected one.");
    EXPECT_EQ(decodingFailure<DecodingTask>("{}"), "Invalid number of keys found, expected one.");
    EXPECT_EQ(json::parseDocument(R"({"other": 1, "translate": {"ignored": true}})").get<DecodingTask>(),
              DecodingTask::translate);
    EXPECT_NE(decodingFailure<DecodingTask>(R"({"translate": []})"), "(no error)");
    EXPECT_EQ(description(DecodingTask::transcribe), "transcribe");
}

TEST(ChunkingStrategy, RawValues) {
    EXPECT_EQ(chunkingStrategyFromRawValue("vad"), ChunkingStrategy::vad);
    EXPECT_EQ(chunkingStrategyFromRawValue("none"), ChunkingStrategy::none);
    EXPECT_FALSE(chunkingStrategyFromRawValue("VAD"));
    EXPECT_EQ(Json(ChunkingStrategy::none).dump(), R"("none")");
}
