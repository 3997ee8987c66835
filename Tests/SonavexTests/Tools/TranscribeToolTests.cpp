#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "SonavexTests/ModelFolder.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/SpokenAudio.h"
#include "Support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>


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
