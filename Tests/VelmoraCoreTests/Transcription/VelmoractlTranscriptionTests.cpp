#include "../VelmoractlRunner.h"
#include "Support/TestSupport.h"
#include "TrackFiles.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

using velmoractltest::ToolRun;
using velmoractltest::Velmoractl;

constexpr const char* unreachableHub = "--endpoint http://127.0.0.1:9";

} // namespace

TEST(VelmoractlTranscription, PlanOnlyPrintsTheDebugLinesAndThePaddedChunksWithoutAModel) {
    Velmoractl velmoractl;
    const auto samples = transcriptiontest::burstTrack(64000, {{16000, 32000}, {62400, 64000}}, 0.05f);
    transcriptiontest::writeTrack(velmoractl.home / "mic.wav", samples);
    const std::string loaded = "  [debug] 読み込んだ音声: 64000 サンプル (4.0 秒), peak=0.05\n";
    EXPECT_EQ(velmoractl("transcribe mic.wav --plan-only").output, loaded +
                                                                       "  [debug] VAD生チャンク数: 2\n"
                                                                       "  [debug] マージ後チャンク数: 2\n"
                                                                       "{\"start\":11200,\"end\":36800}\n"
                                                                       "{\"start\":57600,\"end\":64000}\n");
    // The threshold comes from the settings unless given.
    ASSERT_EQ(velmoractl("settings set vadThreshold 0.05").status, 0);
    EXPECT_EQ(velmoractl("transcribe mic.wav --plan-only").output,
              loaded + "  [debug] VAD生チャンク数: 0\n  [debug] マージ後チャンク数: 0\n");
    EXPECT_EQ(velmoractl("transcribe --plan-only mic.wav --threshold 0.01").output.size(),
              velmoractl("transcribe mic.wav --threshold 0.02 --plan-only").output.size());

    const ToolRun missing = velmoractl("transcribe none.m4a --plan-only");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output.rfind("{\"error\":\"loadAudioFailed\"", 0), 0u) << missing.output;
    for (const char* bad : {"transcribe", "transcribe a.wav b.wav", "transcribe mic.wav --threshold loud",
                            "transcribe mic.wav --threshold -0.02", "transcribe mic.wav --threshold 0.5",
                            "transcribe mic.wav --plan-only --plan-only", "transcribe mic.wav --speed 2"}) {
        EXPECT_EQ(velmoractl(bad).status, 2) << bad;
    }
}

TEST(VelmoractlTranscription, TranscribeAndSetupReportAModelThatCannotBeHadAsAFailure) {
    Velmoractl velmoractl;
    transcriptiontest::writeTrack(velmoractl.home / "mic.wav",
                                  transcriptiontest::burstTrack(32000, {{0, 16000}}));
    const ToolRun transcribe = velmoractl(std::string("transcribe mic.wav --model tiny ") + unreachableHub);
    EXPECT_EQ(transcribe.status, 1);
    EXPECT_EQ(transcribe.output.rfind("{\"error\":", 0), 0u) << transcribe.output;

    const ToolRun setup = velmoractl(std::string("setup ") + unreachableHub);
    EXPECT_EQ(setup.status, 1);
    EXPECT_EQ(setup.output.rfind("notStarted\ndownloading 0\nfailed ", 0), 0u) << setup.output;
    EXPECT_EQ(std::ranges::count(setup.output, '\n'), 3) << setup.output; // the failure is one line

    // A set-up already done for the selected model is ready without loading anything.
    testsupport::writeFile(velmoractl.home / ".config/velmora/defaults.json",
                           "{\"modelName\": \"tiny\", \"modelSetupCompletedModelName\": \"tiny\"}");
    const ToolRun ready = velmoractl(std::string("setup ") + unreachableHub);
    EXPECT_EQ(ready.status, 0);
    EXPECT_EQ(ready.output, "ready\n");
    EXPECT_EQ(velmoractl("setup now").status, 2);
}

TEST(VelmoractlTranscription, BleedPrintsTheKeptSegmentsAsOneArray) {
    Velmoractl velmoractl;
    // The system track, and a microphone that hears it 480 samples later.
    std::mt19937 generator(5);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> sys(48000);
    for (float& sample : sys) {
        sample = uniform(generator);
    }
    std::vector<float> mic(48000, 0.0f);
    std::copy(sys.begin(), sys.end() - 480, mic.begin() + 480);
    transcriptiontest::writeTrack(velmoractl.home / "mic.wav", mic);
    transcriptiontest::writeTrack(velmoractl.home / "system.wav", sys);
    testsupport::writeFile(velmoractl.home / "me.json",
                           R"([{"startSeconds": 0.5, "endSeconds": 1.5, "text": "漏れ"},
                               {"startSeconds": 2.5, "endSeconds": 4, "text": "外"}])");

    EXPECT_EQ(velmoractl("bleed me.json mic.wav system.wav").output,
              "[{\"startSeconds\":2.5,\"endSeconds\":4,\"text\":\"外\"}]\n");
    EXPECT_EQ(velmoractl("bleed me.json mic.wav system.wav --max-lag 0").output,
              "[{\"startSeconds\":0.5,\"endSeconds\":1.5,\"text\":\"漏れ\"},"
              "{\"startSeconds\":2.5,\"endSeconds\":4,\"text\":\"外\"}]\n");
    EXPECT_NE(velmoractl("bleed me.json mic.wav system.wav --threshold 1.5").output.find("漏れ"),
              std::string::npos);

    const ToolRun missing = velmoractl("bleed me.json mic.wav none.wav");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output.rfind("{\"error\":\"loadAudioFailed\"", 0), 0u) << missing.output;
    testsupport::writeFile(velmoractl.home / "bad.json", "[{\"startSeconds\": 1}]");
    EXPECT_EQ(velmoractl("bleed bad.json mic.wav system.wav").output.rfind("{\"error\":\"inputError\"", 0),
              0u);
    EXPECT_EQ(velmoractl("bleed me.json mic.wav").status, 2);
    EXPECT_EQ(velmoractl("bleed me.json mic.wav system.wav --max-lag x").status, 2);
}
