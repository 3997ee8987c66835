#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "SonavexTests/ModelFolder.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/Audio/SpokenAudio.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

TEST(SonavexTranscribeTool, TurnsSpokenAudioIntoOneResult) {
    testsupport::TemporaryDirectory folder;
    makeModelFolder(folder.path());
    const auto spoken = audiotest::speakWithPauses({"good morning"}, 8000, 8000);
    writeFloats(folder / "speech.f32", spoken.samples);

    const std::string options = R"('{"sampleLength": 12, "temperatureFallbackCount": 0}')";
    auto outcome =
        runSonavex("transcribe " + (folder / "speech.f32").string() + " --model-folder " +
                   folder.path().string() + " --options " + options + " --language ja --word-timestamps");
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    const auto line = sonavex::json::parseDocument(outcome.output);
    EXPECT_EQ(line["input"], 0);
    EXPECT_EQ(line["file"], (folder / "speech.f32").string());
    ASSERT_EQ(line["result"].size(), 1u);
    const auto result = sonavex::transcriptionResultFromJson(line["result"][0]);
    EXPECT_EQ(result->language(), "ja");
    EXPECT_GE(result->timings().totalDecodingWindows, 1);
    EXPECT_GE(result->timings().totalDecodingLoops, 1);
    EXPECT_NEAR(result->timings().inputAudioSeconds, double(spoken.samples.size()) / 16000, 1e-9);
    for (const auto& segment : result->segments()) {
        EXPECT_GE(segment.seek, 0);
        EXPECT_LT(segment.seek, int64_t(spoken.samples.size()));
    }
}

TEST(SonavexTranscribeTool, AMissingOrBrokenFolderFailsBeforeTheAudioIsRead) {
    testsupport::TemporaryDirectory folder;
    auto outcome = runSonavex("transcribe " + (folder / "no-such-audio.wav").string() + " --model-folder " +
                              (folder / "missing").string());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output.find("no-such-audio"), std::string::npos) << outcome.output;

    EXPECT_EQ(runSonavex("transcribe x.f32").status, 2); // no folder
}

TEST(SonavexTranscribeTool, SubtitlesHoldTextOnlyNumberedInOrderAndEndWithTheAudio) {
    testsupport::TemporaryDirectory folder;
    makeModelFolder(folder.path());
    std::vector<float> tone(640000); // 40 s
    for (size_t i = 0; i < tone.size(); ++i) {
        tone[i] = 0.3f * std::sin(0.1f * float(i));
    }
    writeFloats(folder / "tone.f32", tone);
    // All text tokens but one suppressed: each window decodes that token after a timestamp, or nothing.
    std::string suppressed = "0";
    for (int token = 1; token < 50257; ++token) {
        suppressed += token == 27649 ? "" : "," + std::to_string(token);
    }
    testsupport::writeFile(folder / "options.json", R"({"sampleLength": 8, "temperatureFallbackCount": 0,)"
                                                    R"( "suppressTokens": [)" +
                                                        suppressed + "]}");
    const std::string run = "transcribe " + (folder / "tone.f32").string() + " --model-folder " +
                            folder.path().string() + " --options " + (folder / "options.json").string();

    auto outcome = runSonavex(run + " --format srt --out " + (folder / "srt").string());
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    const auto segments =
        sonavex::transcriptionResultFromJson(sonavex::json::parseDocument(outcome.output)["result"][0])
            ->segments();
    const auto withText =
        std::count_if(segments.begin(), segments.end(), [](const auto& s) { return !s.text.empty(); });
    ASSERT_GT(withText, 0);
    ASSERT_LT(size_t(withText), segments.size()) << "no window without text: the case is not exercised";
    // A cue starting when the audio has ended would show for no time.
    const auto shown = std::count_if(segments.begin(), segments.end(),
                                     [](const auto& s) { return !s.text.empty() && s.start < 40; });
    ASSERT_LT(shown, withText) << "no text after the audio's end: the case is not exercised";
    std::istringstream lines(testsupport::readFile(folder / "srt/tone.srt"));
    long cues = 0;
    for (std::string number, times, text, blank; std::getline(lines, number) && std::getline(lines, times) &&
                                                 std::getline(lines, text) && std::getline(lines, blank);) {
        EXPECT_EQ(number, std::to_string(++cues));
        EXPECT_LE(times.substr(times.find(" --> ") + 5), "00:00:40,000") << times;
        EXPECT_EQ(text.find("<|"), std::string::npos) << text;
    }
    EXPECT_EQ(cues, shown);

    // The options decide when they say so (WebVTT writes the markers' "<" as "&lt;"); the JSON file
    // keeps what the decoder gave.
    runSonavex(
        run + " --format vtt --out " + (folder / "vtt").string() +
        R"( --options '{"skipSpecialTokens": false, "sampleLength": 8, "temperatureFallbackCount": 0}')");
    EXPECT_NE(testsupport::readFile(folder / "vtt/tone.vtt").find("&lt;|"), std::string::npos);
    runSonavex(run + " --format json --out " + (folder / "json").string());
    EXPECT_NE(testsupport::readFile(folder / "json/tone.json").find("<|"), std::string::npos);
}
