#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "Sonavex/Utilities/Transcription/TranscriptionUtilities.h"
#include "SonavexTests/ResultFixtures.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using sonavex::TranscriptionResult;
using sonavex::TranscriptionSegment;
using sonavex::TranscriptionTimings;
using sonavex::TranscriptionUtilities;
using sonavex::WordTiming;

WordTiming word(std::string text, float start = 0, float end = 0) {
    return WordTiming{std::move(text), {7}, start, end, 0.5f};
}

std::vector<std::string> texts(const std::vector<WordTiming>& words) {
    std::vector<std::string> all;
    for (const auto& w : words) {
        all.push_back(w.word);
    }
    return all;
}

std::shared_ptr<TranscriptionResult> result(std::string text, int segments, std::string language,
                                            double pipelineStart, double fullPipeline) {
    std::vector<TranscriptionSegment> list;
    for (int i = 0; i < segments; ++i) {
        auto segment = makeSegment(float(i), float(i) + 1, " s" + std::to_string(i));
        segment.id = 40 + i;
        segment.seek = 1000 * i;
        list.push_back(segment);
    }
    TranscriptionTimings timings;
    timings.pipelineStart = pipelineStart;
    timings.firstTokenTime = pipelineStart + 1;
    timings.fullPipeline = fullPipeline;
    timings.inputAudioSeconds = 30;
    timings.modelLoading = pipelineStart / 10;
    timings.encoderSpecializationTime = 4;
    timings.decodingLoop = 2;
    timings.totalDecodingWindows = 3;
    return TranscriptionResult::make(std::move(text), list, std::move(language), timings, 12.5f);
}

} // namespace

TEST(SegmentShift, BySecondsOrSamplesMovesSeekTimesAndWords) {
    auto segment = makeSegment(1, 2, " a", std::vector<WordTiming>{word(" a", 1.25f, 1.75f)});
    segment.seek = 100;
    const auto bySeconds = TranscriptionUtilities::updateSegmentTimings(segment, 0.5f);
    EXPECT_EQ(bySeconds.seek, 8100);
    EXPECT_FLOAT_EQ(bySeconds.start, 1.5f);
    EXPECT_FLOAT_EQ(bySeconds.end, 2.5f);
    EXPECT_FLOAT_EQ((*bySeconds.words)[0].start, 1.75f);
    EXPECT_FLOAT_EQ((*bySeconds.words)[0].end, 2.25f);
    EXPECT_EQ(bySeconds.tokens, segment.tokens);
    EXPECT_EQ(bySeconds.tokenLogProbs, segment.tokenLogProbs);

    const auto bySamples = TranscriptionUtilities::updateSegmentTimings(segment, int64_t(8000));
    EXPECT_EQ(bySamples, bySeconds);

    // seconds × 16000 truncated in single precision: 0.00003 s is 0.48 samples.
    EXPECT_EQ(TranscriptionUtilities::updateSegmentTimings(segment, 0.00003f).seek, 100);
    // Absent words stay absent, empty ones empty.
    segment.words.reset();
    EXPECT_FALSE(TranscriptionUtilities::updateSegmentTimings(segment, 1.0f).words);
    segment.words = std::vector<WordTiming>{};
    EXPECT_EQ(TranscriptionUtilities::updateSegmentTimings(segment, int64_t(5)).words,
              std::vector<WordTiming>{});
}

TEST(SegmentLines, TextAloneOrWithTwoDecimalTimes) {
    const std::vector<TranscriptionSegment> segments{makeSegment(1.5f, 3.25f, " hi"),
                                                     makeSegment(3725.125f, 3728, "x")};
    EXPECT_EQ(TranscriptionUtilities::formatSegments(segments, true),
              (std::vector<std::string>{"[1.50 --> 3.25]  hi", "[3725.12 --> 3728.00] x"}));
    EXPECT_EQ(TranscriptionUtilities::formatSegments(segments, false),
              (std::vector<std::string>{" hi", "x"}));
    EXPECT_TRUE(TranscriptionUtilities::formatSegments({}).empty());
}

TEST(WordAgreement, PrefixIsTakenFromTheSecondListAndTheSuffixFollowsIt) {
    const std::vector<WordTiming> first{word("Hello,", 0, 1), word("world", 1, 2)};
    const std::vector<WordTiming> second{word("hello", 5, 6), word("World!", 6, 7), word("again", 7, 8)};
    const auto prefix = TranscriptionUtilities::findLongestCommonPrefix(first, second);
    ASSERT_EQ(texts(prefix), (std::vector<std::string>{"hello", "World!"}));
    EXPECT_EQ(prefix[0].start, 5);
    EXPECT_EQ(texts(TranscriptionUtilities::findLongestDifferentSuffix(first, second)),
              (std::vector<std::string>{"again"}));

    EXPECT_TRUE(TranscriptionUtilities::findLongestCommonPrefix({}, second).empty());
    EXPECT_EQ(TranscriptionUtilities::findLongestDifferentSuffix({}, second), second);
    EXPECT_EQ(TranscriptionUtilities::findLongestCommonPrefix(second, first).size(),
              2u); // the shorter list ends it
    EXPECT_TRUE(TranscriptionUtilities::findLongestDifferentSuffix(second, {second[0]}).empty());
}

TEST(WordAgreement, ComparisonFormRules) {
    auto agree = [](const std::string& a, const std::string& b) {
        return TranscriptionUtilities::findLongestCommonPrefix({word(a)}, {word(b)}).size() == 1;
    };
    EXPECT_TRUE(agree("Well-known", "well known"));
    EXPECT_FALSE(agree("e-mail", "email"));
    EXPECT_TRUE(agree("...", "!")); // both forms are empty
    EXPECT_TRUE(agree(" «Straße»", "straße"));
    EXPECT_TRUE(agree("ÉTÉ", "e\u0301te\u0301")); // lower case, then canonical equivalence
    EXPECT_TRUE(agree("a  -  b", "a b"));         // space runs become one
    EXPECT_FALSE(agree("a+b", "ab"));             // "+" is a symbol, not punctuation
    EXPECT_TRUE(agree("\u201Cquote\u201D", "quote"));
}

TEST(ResultMerge, TextsSegmentIdsLanguageAndNoSeekTime) {
    auto a = result("A", 2, "ja", 10, 5);
    auto b = result("B", 2, "de", 12, 5);
    const auto merged = TranscriptionUtilities::mergeTranscriptionResults({a, nullptr, b});
    EXPECT_EQ(merged->text(), "A  B");
    const auto segments = merged->segments();
    ASSERT_EQ(segments.size(), 4u);
    std::vector<int64_t> ids, seeks;
    for (const auto& segment : segments) {
        ids.push_back(segment.id);
        seeks.push_back(segment.seek);
    }
    EXPECT_EQ(ids, (std::vector<int64_t>{0, 1, 1, 2}));
    EXPECT_EQ(seeks, (std::vector<int64_t>{0, 1000, 0, 1000}));
    EXPECT_EQ(segments[2].text, " s0");
    EXPECT_EQ(merged->language(), "ja");
    EXPECT_FALSE(merged->seekTime());

    const auto confirmed = TranscriptionUtilities::mergeTranscriptionResults(
        {a, b}, std::vector<WordTiming>{word(" one"), word(" two")});
    EXPECT_EQ(confirmed->text(), " one two");
    EXPECT_EQ(TranscriptionUtilities::mergeTranscriptionResults({a, b}, std::vector<WordTiming>{})->text(),
              "");
    EXPECT_EQ(TranscriptionUtilities::mergeTranscriptionResults({nullptr, b})->language(), "de");
}

TEST(ResultMerge, TimingsAreReducedFieldByField) {
    const auto merged = TranscriptionUtilities::mergeTranscriptionResults(
                            {result("A", 1, "en", 10, 5), result("B", 1, "en", 12, 5)})
                            ->timings();
    EXPECT_EQ(merged.pipelineStart, 10);
    EXPECT_EQ(merged.firstTokenTime, 11);
    EXPECT_EQ(merged.fullPipeline, 7); // min(5 + 5, 17 - 10)
    EXPECT_EQ(merged.inputAudioSeconds, 60);
    EXPECT_DOUBLE_EQ(merged.modelLoading, 1.2); // the longest load
    EXPECT_EQ(merged.encoderSpecializationTime, 0);
    EXPECT_EQ(merged.decodingLoop, 4);
    EXPECT_EQ(merged.totalDecodingWindows, 6);
    // Pieces one after another: the sum is the smaller figure.
    EXPECT_EQ(TranscriptionUtilities::mergeTranscriptionResults(
                  {result("A", 1, "en", 10, 1), result("B", 1, "en", 20, 1)})
                  ->timings()
                  .fullPipeline,
              2);
}

TEST(ResultMerge, ToolMergesFilesAndAbsentEntries) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "a.json", sonavex::json::Json(*result("A", 1, "ja", 10, 5)).dump());
    testsupport::writeFile(folder / "b.json", sonavex::json::Json(*result("B", 2, "en", 12, 5)).dump());
    testsupport::writeFile(folder / "words.json", R"([{"word": " x", "tokens": [1], "start": 0, "end": 1,
                                                      "probability": 0.5}])");
    auto outcome =
        runSonavex("result merge " + (folder / "a.json").string() + " none " + (folder / "b.json").string());
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    const auto merged = sonavex::transcriptionResultFromJson(sonavex::json::parseDocument(outcome.output));
    EXPECT_EQ(merged->text(), "A  B");
    EXPECT_EQ(merged->segments().size(), 3u);
    EXPECT_EQ(merged->segments()[2].id, 2);
    EXPECT_EQ(merged->language(), "ja");
    EXPECT_EQ(merged->timings().fullPipeline, 7);
    EXPECT_FALSE(merged->seekTime());

    outcome = runSonavex("result merge " + (folder / "a.json").string() + " --confirmed-words " +
                         (folder / "words.json").string());
    ASSERT_EQ(outcome.status, 0);
    EXPECT_EQ(sonavex::transcriptionResultFromJson(sonavex::json::parseDocument(outcome.output))->text(),
              " x");

    // Nothing to merge: an empty English result, every timing 0, no seek time.
    outcome = runSonavex("result merge none");
    ASSERT_EQ(outcome.status, 0);
    const auto empty = sonavex::json::parseDocument(outcome.output);
    EXPECT_EQ(empty["text"], "");
    EXPECT_EQ(empty["segments"].size(), 0u);
    EXPECT_EQ(empty["language"], "en");
    EXPECT_TRUE(empty["seekTime"].is_null());
    for (const auto& [field, value] : empty["timings"].items()) {
        EXPECT_EQ(value, 0) << field;
    }

    outcome = runSonavex("result merge " + (folder / "missing.json").string());
    EXPECT_EQ(outcome.status, 1);
}
