#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Core/Results/TranscriptionResultStruct.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "SonavexTests/LogCapture.h"
#include "SonavexTests/ResultFixtures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <unordered_set>

using namespace sonavex;
using json::Json;

namespace {

WordTiming word(std::string text, float start, float end) {
    return {std::move(text), {7}, start, end, 0.9f};
}

} // namespace

TEST(TranscriptionResult, AllWordsSkipSegmentsWithoutWords) {
    auto result = TranscriptionResult::make("", {}, "en", {});
    EXPECT_TRUE(result->allWords().empty());
    result->setSegments({makeSegment(0, 1, "a", std::vector{word(" a", 0, 0.5f), word(" b", 0.5f, 1)}),
                         makeSegment(1, 2, "c"), makeSegment(2, 3, "d", std::vector<WordTiming>{}),
                         makeSegment(3, 4, "e", std::vector{word(" e", 3, 4)})});
    std::vector<std::string> words;
    for (const auto& timing : result->allWords()) {
        words.push_back(timing.word);
    }
    EXPECT_EQ(words, (std::vector<std::string>{" a", " b", " e"}));
}

TEST(TranscriptionResult, LogsSegmentsAtDebugAndTimingsAtInfo) {
    auto result = TranscriptionResult::make("", {}, "en", {});
    {
        LogCapture log(orvane::Logging::LogLevel::debug);
        result->logSegments();
        EXPECT_TRUE(log.lines().empty());
    }
    result->setSegments({makeSegment(12.345f, 13.0f, " Hi"), makeSegment(-1, 0.004f, "x")});
    {
        LogCapture log(orvane::Logging::LogLevel::debug);
        result->logSegments();
        EXPECT_EQ(log.lines(), (std::vector<std::string>{"[Segment 0] [12.35 --> 13.00]  Hi",
                                                         "[Segment 1] [-1.00 --> 0.00] x"}));
    }
    {
        LogCapture log(orvane::Logging::LogLevel::info);
        result->logSegments();
        result->logTimings();
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0], result->timingsReport());
        EXPECT_NE(log.lines()[0].find("\nTotal Tokens:                  4\n"), std::string::npos);
    }
}

TEST(TranscriptionResult, ConcurrentAppendsThroughTheModifierAreNeverLost) {
    auto result = TranscriptionResult::make("", {}, "en", {});
    constexpr int perThread = 2000;
    auto append = [&](float start) {
        for (int i = 0; i < perThread; ++i) {
            result->modifySegments([&](std::vector<TranscriptionSegment>& segments) {
                segments.push_back(makeSegment(start, start, ""));
            });
            result->modifyText([](std::string& text) { text += "."; });
        }
    };
    std::thread first(append, 1.0f);
    std::thread second(append, 2.0f);
    first.join();
    second.join();
    EXPECT_EQ(result->segments().size(), 2u * perThread);
    EXPECT_EQ(result->text().size(), 2u * perThread);
}

TEST(TranscriptionResult, JsonWritesSeekTimeAlwaysAndNeedsItBack) {
    auto result = TranscriptionResult::make(" Hi", {makeSegment(0, 0.1f, " Hi")}, "ja", {});
    Json encoded = *result;
    std::vector<std::string> keys;
    for (const auto& item : encoded.items()) {
        keys.push_back(item.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"text", "segments", "language", "timings", "seekTime"}));
    EXPECT_TRUE(encoded["seekTime"].is_null());
    EXPECT_EQ(encoded["segments"][0]["end"].dump(), "0.1");
    EXPECT_EQ(encoded["segments"][0]["tokenLogProbs"].dump(), R"([{"1":-0.1},{"2":-0.2,"50257":-3.5}])");

    auto read = transcriptionResultFromJson(encoded);
    EXPECT_EQ(read->segments(), result->segments());
    EXPECT_EQ(read->language(), "ja");
    EXPECT_FALSE(read->seekTime());
    result->setSeekTime(1.5f);
    EXPECT_EQ(transcriptionResultFromJson(Json(*result))->seekTime(), 1.5f);

    // Without the key only the plain-value twin reads it; the twin leaves an absent time out.
    encoded.erase("seekTime");
    try {
        transcriptionResultFromJson(encoded);
        ADD_FAILURE() << "read without seekTime";
    } catch (const orvane::DecodingError& error) {
        EXPECT_EQ(error.kind(), orvane::DecodingError::Kind::keyNotFound);
    }
    // Keys are read in their order: the first one missing is the one named.
    Json withoutText = encoded;
    withoutText.erase("text");
    try {
        transcriptionResultFromJson(withoutText);
        ADD_FAILURE() << "read without text";
    } catch (const orvane::DecodingError& error) {
        EXPECT_EQ(error.debugDescription(), "No value associated with key \"text\".");
    }
    auto twin = encoded.get<TranscriptionResultStruct>();
    EXPECT_FALSE(twin.seekTime);
    EXPECT_EQ(Json(twin), encoded);
    EXPECT_EQ(twin.segments, result->segments());
}

TEST(TranscriptionSegment, WordsAbsentAndEmptyEncodeDifferently) {
    Json absent = makeSegment(0, 1, "a");
    Json empty = makeSegment(0, 1, "a", std::vector<WordTiming>{});
    EXPECT_FALSE(absent.contains("words"));
    EXPECT_EQ(empty["words"].dump(), "[]");
    EXPECT_EQ(absent.size(), 11u);
    EXPECT_EQ(absent.get<TranscriptionSegment>(), makeSegment(0, 1, "a"));
    EXPECT_EQ(empty.get<TranscriptionSegment>(), makeSegment(0, 1, "a", std::vector<WordTiming>{}));
    EXPECT_NE(makeSegment(0, 1, "a"), makeSegment(0, 1, "a", std::vector<WordTiming>{}));

    for (const char* key : {"id", "tokenLogProbs", "noSpeechProb"}) {
        Json missing = absent;
        missing.erase(key);
        EXPECT_THROW((void)missing.get<TranscriptionSegment>(), orvane::DecodingError) << key;
    }
    Json badKey = absent;
    badKey["tokenLogProbs"] = json::parseDocument(R"([{"12x": 1}])");
    EXPECT_THROW((void)badKey.get<TranscriptionSegment>(), orvane::DecodingError);
    Json badWord = empty;
    badWord["words"] = json::parseDocument(R"([{"word": "a", "tokens": [], "start": 0, "end": 1}])");
    EXPECT_THROW((void)badWord.get<TranscriptionSegment>(), orvane::DecodingError);
}

TEST(TranscriptionSegment, EqualityAndHashingFollowIeeeValues) {
    TranscriptionSegment backwards = makeSegment(2, 1, "x");
    EXPECT_EQ(backwards.duration(), -1.0f);
    TranscriptionSegment notANumber = makeSegment(0, 1, "x");
    notANumber.avgLogprob = std::nanf("");
    EXPECT_NE(notANumber, notANumber);

    TranscriptionSegment positive = makeSegment(0, 1, "x");
    TranscriptionSegment negative = positive;
    negative.start = -0.0f;
    EXPECT_EQ(positive, negative);
    EXPECT_EQ(std::hash<TranscriptionSegment>{}(positive), std::hash<TranscriptionSegment>{}(negative));
    std::unordered_set<TranscriptionSegment> set{positive, negative, makeSegment(0, 1, "y"),
                                                 makeSegment(0, 1, "x", std::vector{word("x", 0, 1)})};
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(std::hash<WordTiming>{}(word("a", 0.0f, 1)), std::hash<WordTiming>{}(word("a", -0.0f, 1)));
}
