#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "SonavexTests/ResultFixtures.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

/// A stored result with two segments, the first with words.
class SonavexResultTool : public testing::Test {
protected:
    void SetUp() override {
        sonavex::TranscriptionSegment first;
        first.start = 0;
        first.end = 2.5f;
        first.text = " Hello world.";
        first.tokens = {2425, 1002, 13};
        first.words = std::vector<sonavex::WordTiming>{{" Hello", {2425}, 0, 0.62f, 0.9f},
                                                       {" world.", {1002, 13}, 0.62f, 2.5f, 0.8f}};
        sonavex::TranscriptionSegment second;
        second.id = 1;
        second.start = 3725.1f;
        second.end = 3727.999f;
        second.text = " Second";
        second.tokens = {1};
        sonavex::TranscriptionTimings timings;
        timings.fullPipeline = 2;
        timings.decodingLoop = 2;
        auto result =
            sonavex::TranscriptionResult::make(" Hello world. Second", {first, second}, "en", timings);
        testsupport::writeFile(file, sonavex::json::Json(*result).dump());
    }

    testsupport::TemporaryDirectory folder;
    std::filesystem::path file = folder / "result.json";
};

} // namespace

TEST_F(SonavexResultTool, ReportIsTheTimingsReportThenTheSegmentLines) {
    auto outcome = runSonavex("result report " + file.string());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output.rfind("---- Transcription Timings ----\nAudio Load:          ", 0), 0u);
    EXPECT_TRUE(outcome.output.ends_with("\nTotal Tokens:                  4\n"
                                         "Tokens per Second:             0.00 tok/s\n"
                                         "Real Time Factor:              2000.000\n"
                                         "Speed Factor:                  0.001\n"
                                         "Fallbacks:                     0.0\n"
                                         "[Segment 0] [0.00 --> 2.50]  Hello world.\n"
                                         "[Segment 1] [3725.10 --> 3728.00]  Second\n"))
        << outcome.output;
}

TEST_F(SonavexResultTool, WriteMakesTheThreeFormats) {
    for (const std::string format : {"json", "srt", "vtt"}) {
        auto outcome = runSonavex("result write " + format + " " + file.string() + " " +
                                  folder.path().string() + " out");
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.output, R"({"url":"file://)" + (folder / ("out." + format)).string() + "\"}\n");
    }
    EXPECT_EQ(testsupport::readFile(folder / "out.srt"), "1\n00:00:00,000 --> 00:00:00,620\n Hello\n\n"
                                                         "2\n00:00:00,620 --> 00:00:02,500\n world.\n\n"
                                                         "3\n01:02:05,100 --> 01:02:07,999\n Second\n\n");
    EXPECT_EQ(testsupport::readFile(folder / "out.vtt").substr(0, 32), "WEBVTT\n\n00:00.000 --> 00:00.620\n");
    auto stored = sonavex::json::parseDocument(testsupport::readFile(file));
    EXPECT_EQ(sonavex::json::parseDocument(testsupport::readFile(folder / "out.json")), stored);

    auto missing =
        runSonavex("result write srt " + file.string() + " " + (folder / "missing").string() + " out");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output.rfind(R"({"error":"filesystem_error","message":)", 0), 0u) << missing.output;
    EXPECT_EQ(runSonavex("result write txt " + file.string() + " " + folder.path().string() + " out").status,
              2);
}

TEST(SonavexResultToolSubtitles, ShowTextOnlyInCuesNumberedWithoutGaps) {
    // Special-token markers in the texts, and a segment and a word left empty by them.
    using sonavex::WordTiming;
    auto result = sonavex::TranscriptionResult::make(
        "",
        {makeSegment(0, 2, "<|0.00|> Hello<|2.00|>"), makeSegment(2, 4, "<|endoftext|>"),
         makeSegment(4, 8, " x",
                     std::vector<WordTiming>{
                         {" Good", {1}, 4, 5, 1}, {"<|nospeech|>", {2}, 5, 6, 1}, {" bye", {3}, 6, 7, 1}})},
        "en", {});
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "result.json", sonavex::json::Json(*result).dump());
    auto write = [&](const std::string& format) {
        return runSonavex("result write " + format + " " + (folder / "result.json").string() + " " +
                          folder.path().string() + " out")
            .status;
    };

    ASSERT_EQ(write("srt"), 0);
    EXPECT_EQ(testsupport::readFile(folder / "out.srt"), "1\n00:00:00,000 --> 00:00:02,000\n Hello\n\n"
                                                         "2\n00:00:04,000 --> 00:00:05,000\n Good\n\n"
                                                         "3\n00:00:06,000 --> 00:00:07,000\n bye\n\n");
    ASSERT_EQ(write("vtt"), 0);
    EXPECT_EQ(testsupport::readFile(folder / "out.vtt"), "WEBVTT\n\n00:00.000 --> 00:02.000\n Hello\n\n"
                                                         "00:04.000 --> 00:05.000\n Good\n\n"
                                                         "00:06.000 --> 00:07.000\n bye\n\n");
    ASSERT_EQ(write("json"), 0);
    EXPECT_NE(testsupport::readFile(folder / "out.json").find("<|endoftext|>"), std::string::npos);
}

TEST_F(SonavexResultTool, JsonOfAResultAndItsParts) {
    auto outcome = runSonavex("json result " + file.string());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(sonavex::json::parseDocument(outcome.output),
              sonavex::json::parseDocument(testsupport::readFile(file)));
    EXPECT_TRUE(outcome.output.ends_with(R"("seekTime":null})"
                                         "\n"));
    outcome = runSonavex("json result-struct " + file.string());
    EXPECT_TRUE(outcome.output.ends_with(R"("fullPipeline":2.0}})"
                                         "\n"))
        << outcome.output;
    outcome = runSonavex("json timings");
    EXPECT_EQ(outcome.output.rfind(
                  R"({"pipelineStart":1.7976931348623157e+308,"firstTokenTime":1.7976931348623157e+308,)"
                  R"("inputAudioSeconds":0.001,"modelLoading":0.0,)",
                  0),
              0u);
    outcome = runSonavexWithInput(
        "json word -", R"({"word": "a", "tokens": [1], "start": 0.1, "end": 1e999, "probability": 1})");
    EXPECT_EQ(outcome.status, 1);
    outcome = runSonavexWithInput("json segment -", R"({"id": 0})");
    EXPECT_EQ(outcome.output,
              R"({"error":"DecodingError","message":"No value associated with key \"seek\"."})"
              "\n");
    EXPECT_EQ(runSonavex("json result").status, 2);
}

TEST(SonavexTool, ResultTimeFormatsEachValue) {
    auto outcome = runSonavex("result time 62.5 0.29 nan -1.5 3600");
    EXPECT_EQ(outcome.output, R"({"seconds":62.5,"text":"01:02.500"})"
                              "\n"
                              R"({"seconds":0.29,"text":"00:00.290"})"
                              "\n"
                              R"({"seconds":"nan","text":"00:00.000"})"
                              "\n"
                              R"({"seconds":-1.5,"text":"00:00.000"})"
                              "\n"
                              R"({"seconds":3600.0,"text":"01:00:00.000"})"
                              "\n");
    outcome = runSonavex("result time 62.5 --hours --marker ,");
    EXPECT_EQ(outcome.output, R"({"seconds":62.5,"text":"00:01:02,500"})"
                              "\n");
    EXPECT_EQ(runSonavex("result time").status, 2);
    EXPECT_EQ(runSonavex("result time soon").status, 2);
}

TEST(SonavexTool, LogOptionShowsEngineMessagesOnStandardError) {
    const std::string failing = R"(options --options '{"clipTimestamps": [1e30]}' --seek-clips 10)";
    std::string errorOutput;
    testsupport::runCommand(testsupport::toolPath("sonavex").string() + " " + failing +
                                " --log error 2>&1 >/dev/null",
                            &errorOutput);
    EXPECT_EQ(errorOutput, "Clip timestamp 1e+30 cannot be turned into a sample index\n");
    testsupport::runCommand(testsupport::toolPath("sonavex").string() + " " + failing + " 2>&1 >/dev/null",
                            &errorOutput);
    EXPECT_EQ(errorOutput, "");
}
