#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/Audio/SpokenAudio.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string rangeLines(const std::vector<sonavex::IndexRange>& ranges) {
    std::string lines;
    for (const auto& range : ranges) {
        lines += "{\"start\":" + std::to_string(range.startIndex) +
                 ",\"end\":" + std::to_string(range.endIndex) + "}\n";
    }
    return lines;
}

std::string chunkLines(const std::vector<sonavex::AudioChunk>& chunks) {
    std::string lines;
    for (const auto& chunk : chunks) {
        lines += "{\"offset\":" + std::to_string(chunk.seekOffsetIndex) +
                 ",\"samples\":" + std::to_string(chunk.audioSamples.size()) + "}\n";
    }
    return lines;
}

class SonavexAudioVoiceTool : public ::testing::Test {
protected:
    void SetUp() override {
        speech = audiotest::speakWithPauses({"hello there", "this is the second phrase", "and the third one"},
                                            20000, 8000);
        // The same speech as an audio file and as raw samples.
        audiotest::writeAudioFile(folder / "speech.wav", audiotest::FileKind::wavF32, 16000,
                                  {speech.samples});
        testsupport::writeFile(folder / "speech.f32",
                               std::string(reinterpret_cast<const char*>(speech.samples.data()),
                                           speech.samples.size() * sizeof(float)));
    }

    std::string path(const std::string& name) const { return (folder / name).string(); }

    testsupport::TemporaryDirectory folder;
    audiotest::SpokenAudio speech;
};

TEST_F(SonavexAudioVoiceTool, VadPrintsTheVoicedRangesOrTheFlagsOfEachFrame) {
    auto outcome = runSonavex("audio vad " + path("speech.wav"));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output,
              rangeLines(sonavex::EnergyVAD::engineDefault()->calculateActiveChunks(speech.samples)));
    EXPECT_NE(outcome.output, "");
    // The sample file gives the same.
    EXPECT_EQ(runSonavex("audio vad " + path("speech.f32")).output, outcome.output);

    sonavex::EnergyVAD tuned(16000, 0.05f, 0.025f, 0.1f);
    outcome = runSonavex("audio vad " + path("speech.f32") +
                         " --frame-length 0.05 --overlap 0.025 --threshold 0.1");
    EXPECT_EQ(outcome.output, rangeLines(tuned.calculateActiveChunks(speech.samples)));

    outcome = runSonavex("audio vad " + path("speech.f32") + " --flags --threshold 0.1");
    std::string flags;
    for (bool flag : sonavex::EnergyVAD(16000, 0.1f, 0.0f, 0.1f).voiceActivity(speech.samples)) {
        flags += flags.empty() ? "" : ",";
        flags += flag ? "true" : "false";
    }
    EXPECT_EQ(outcome.output, "{\"flags\":[" + flags + "]}\n");
}

TEST_F(SonavexAudioVoiceTool, ChunksWholeOrIncrementalWithClipsAndTheirErrors) {
    auto expected = sonavex::VADAudioChunker().chunkAll(speech.samples, 32000, std::nullopt);
    ASSERT_GT(expected.size(), 2u);
    auto outcome = runSonavex("audio chunks " + path("speech.wav") + " --max 32000");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output, chunkLines(expected));
    // Read in pieces of one second with one chunk out at a time, each chunk signalled once printed.
    outcome = runSonavex("audio chunks " + path("speech.wav") + " --max 32000 --incremental 1,1");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output, chunkLines(expected));

    sonavex::VADAudioChunker padded(
        4000, std::make_shared<sonavex::EnergyVAD>(16000, int64_t{1600}, int64_t{0}, 0.1f));
    sonavex::DecodingOptions::Arguments clips;
    clips.clipTimestamps = {0.5f, 2.0f, 2.5f};
    auto clipped = padded.chunkAll(speech.samples, 20000, sonavex::DecodingOptions(clips));
    outcome = runSonavex(
        "audio chunks " + path("speech.f32") +
        R"( --max 20000 --padding 4000 --threshold 0.1 --options '{"clipTimestamps": [0.5, 2, 2.5]}')");
    EXPECT_EQ(outcome.output, chunkLines(clipped));

    outcome = runSonavex("audio chunks " + path("speech.f32") +
                         R"( --max 20000 --options '{"clipTimestamps": [500, 600]}')");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output,
              R"({"error":"audioProcessingFailed","message":"startIndex is outside the buffer size"})"
              "\n");
    outcome = runSonavex("audio chunks " + path("speech.wav") + " --max 16000 --incremental 1,1");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(
        outcome.output,
        R"({"error":"loadAudioFailed","message":"Incremental max chunk length must be greater than 16000"})"
        "\n");

    for (std::string usage : {"audio vad", "audio listen x.wav", "audio chunks x.wav --incremental 1",
                              "audio chunks x.wav --incremental 1,1 --padding 5"}) {
        outcome = runSonavex(usage, true);
        EXPECT_EQ(outcome.status, 2) << usage;
        EXPECT_NE(outcome.output.find("sonavex audio chunks INPUT"), std::string::npos) << usage;
    }
}

} // namespace
