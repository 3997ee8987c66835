#include "SonavexTests/ToolRunner.h"
#include "Support/StandardOptions.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(SonavexTool, OptionsFromTheInitializerWithClipsAndVerdict) {
    auto outcome =
        runSonavex(R"(options --options '{"usePrefillPrompt": false, "clipTimestamps": [0, 10, 20],)"
                   R"( "noSpeechThreshold": null}' --seek-clips 480000 --fallback 0,0.9,3,0)");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(
        outcome.output,
        R"({"options":{"verbose":false,"task":{"transcribe":{}},"temperature":0.0,)"
        R"("temperatureIncrementOnFallback":0.2,"temperatureFallbackCount":5,"sampleLength":224,"topK":5,)"
        R"("usePrefillPrompt":false,"detectLanguage":true,"skipSpecialTokens":false,"withoutTimestamps":false,)"
        R"("wordTimestamps":false,"clipTimestamps":[0.0,10.0,20.0],"windowClipTime":1.0,"suppressBlank":false,)"
        R"("suppressTokens":[],"compressionRatioThreshold":2.4,"logProbThreshold":-1.0,)"
        R"("firstTokenLogProbThreshold":-1.5,"concurrentWorkerCount":16},)"
        R"("seekClips":[[0,160000],[320000,480000]],)"
        R"("fallback":{"needsFallback":true,"fallbackReason":"compressionRatioThreshold"}})"
        "\n");
    outcome = runSonavex("options --fallback 0,0,2.4,-1");
    EXPECT_NE(outcome.output.find(R"("fallback":null})"), std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output.find("seekClips"), std::string::npos);
}

TEST(SonavexTool, FailuresPrintAnErrorLineAndUsageErrorsExitTwo) {
    auto outcome = runSonavex(R"(options --options '{"clipTimestamps": [1e30]}' --seek-clips 10)");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(
        outcome.output,
        R"({"error":"transcriptionFailed","message":"Clip timestamp 1e+30 cannot be turned into a sample index"})"
        "\n");
    outcome = runSonavex(R"(options --options '{"topK": "five"}')");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output.rfind(R"({"error":"DecodingError","message":)", 0), 0u) << outcome.output;
    outcome = runSonavex(R"(options --options '{"unknown": 1}')");
    EXPECT_EQ(outcome.status, 1);
    outcome = runSonavex("options --options /nonexistent/options.json");
    EXPECT_EQ(outcome.status, 1);

    for (const char* usage :
         {"", "nosuchgroup", "options --bogus", "options --fallback 2,0,0,0", "options --seek-clips many",
          "json", "json decoding-task", "options --log loud"}) {
        outcome = runSonavex(usage, true);
        EXPECT_EQ(outcome.status, 2) << usage;
        EXPECT_NE(outcome.output.find("usage:"), std::string::npos) << usage;
    }
}

TEST(SonavexTool, EveryGroupAndCommandAnswersHelpAndVersion) {
    testsupport::expectStandardOptions("sonavex", {"", "audio", "decode window", "stream", "transcribe"});
}

TEST(SonavexTool, JsonNormalisesDocumentsOfEachType) {
    auto outcome = runSonavex("json channel-mode");
    EXPECT_EQ(outcome.output, "{\"sumChannels\":{}}\n");
    outcome = runSonavexWithInput("json channel-mode -", R"({"x": 0, "specificChannel": {"_0": 2}})");
    EXPECT_EQ(outcome.output, "{\"specificChannel\":{\"_0\":2}}\n");
    outcome = runSonavexWithInput("json decoding-task -", R"({"transcribe": {}, "translate": {}})");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output,
              R"({"error":"DecodingError","message":"Invalid number of keys found, expected one."})"
              "\n");
}

TEST(SonavexTool, AudioLoadDescribesEachInputInOrderAndWritesSamples) {
    testsupport::TemporaryDirectory folder;
    auto stereo = (folder / "stereo.wav").string();
    auto mono = (folder / "mono.caf").string();
    audiotest::writeAudioFile(stereo, audiotest::FileKind::wavS16, 48000,
                              audiotest::sinePlanes(2, 72000, 48000));
    audiotest::writeAudioFile(mono, audiotest::FileKind::cafF32, 16000, audiotest::rampPlanes(1, 8000));
    auto missing = (folder / "missing.wav").string();

    auto outcome = runSonavex("audio load " + stereo + " " + missing + " " + mono + " --channel 1");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output,
              R"({"file":")" + stereo +
                  R"(","samples":24000,"sourceSampleRate":48000.0,"sourceChannels":2,"sourceFrames":72000})"
                  "\n"
                  R"({"error":"loadAudioFailed","message":"Resource path does not exist )" +
                  missing + R"(","file":")" + missing + "\"}\n" + R"({"file":")" + mono +
                  R"(","samples":8000,"sourceSampleRate":16000.0,"sourceChannels":1,"sourceFrames":8000})"
                  "\n");

    auto out = folder / "part.f32";
    outcome = runSonavex("audio load " + mono + " --start 0.25 --end 0.375 --out " + out.string());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.output.find(R"("samples":2000,)"), std::string::npos) << outcome.output;
    auto bytes = testsupport::readFile(out);
    ASSERT_EQ(bytes.size(), 2000 * sizeof(float));
    float first = 0;
    std::memcpy(&first, bytes.data(), sizeof first);
    EXPECT_EQ(first, audiotest::rampPlanes(1, 4001)[0][4000]);

    EXPECT_EQ(runSonavex("audio load " + mono + " --sum --channel 0").status, 2);
    EXPECT_EQ(runSonavex("audio load " + mono + " " + stereo + " --out x.f32").status, 2);
    EXPECT_EQ(runSonavex("audio load").status, 2);
}
