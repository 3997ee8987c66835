#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct ToolRun {
    int status;
    std::string output;
};

ToolRun velmoractl(const std::string& arguments, const std::string& errors = "2>/dev/null") {
    ToolRun run{};
    run.status = testsupport::runCommand("'" + testsupport::toolPath("velmoractl").string() + "' " + arguments + " " + errors,
                                         &run.output);
    return run;
}

std::string rawFloats(const std::vector<float>& samples) {
    std::string bytes(samples.size() * sizeof(float), '\0');
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

TEST(VelmoractlAudio, MakesACafConvertsMixesAndProbes) {
    testsupport::TemporaryDirectory folder;
    const auto dir = "'" + folder.path().string() + "'/";
    // 0.5 s of stereo at 44.1 kHz, interleaved.
    std::vector<float> samples(2 * 22050);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = float(i % 100) / 400.0f;
    testsupport::writeFile(folder / "in.f32", rawFloats(samples));

    EXPECT_EQ(velmoractl("audio caf " + dir + "in.f32 " + dir + "mic.caf --rate 44100 --channels 2").status, 0);
    EXPECT_EQ(velmoractl("audio probe " + dir + "mic.caf").output,
              "{\"container\":\"caf\",\"codec\":\"pcm_f32le\",\"sampleRate\":44100,\"channels\":2,\"frames\":22050,"
              "\"duration\":0.5}\n");
    EXPECT_EQ(velmoractl("audio convert " + dir + "mic.caf " + dir + "mic.m4a").status, 0);
    EXPECT_EQ(velmoractl("audio probe " + dir + "mic.m4a").output,
              "{\"container\":\"m4a\",\"codec\":\"aac\",\"sampleRate\":44100,\"channels\":2,\"frames\":22050,"
              "\"duration\":0.5}\n");
    const ToolRun mixed = velmoractl("audio mix " + dir + "mic.caf " + dir + "mic.m4a " + dir + "recording.m4a");
    EXPECT_EQ(mixed.status, 0);
    EXPECT_EQ(mixed.output, "") << "nothing but results on standard output";
    EXPECT_EQ(velmoractl("audio probe " + dir + "recording.m4a").output,
              "{\"container\":\"m4a\",\"codec\":\"aac\",\"sampleRate\":48000,\"channels\":2,\"frames\":24000,"
              "\"duration\":0.5}\n");
}

// A source cut short or with samples replaced converts as far as it goes, and says so on standard error.
TEST(VelmoractlAudio, ConvertWarnsOnStandardErrorOfACutOrRepairedSource) {
    testsupport::TemporaryDirectory folder;
    const auto dir = "'" + folder.path().string() + "'/";
    std::vector<float> samples(44100, 0.25f);
    audiotest::writeRawWav(folder / "cut.wav", 44100, 1, 32, samples, 88200 * 4, 88200);
    std::fill(samples.begin() + 1000, samples.begin() + 1300, 3.4e38f);
    audiotest::writeRawWav(folder / "loud.wav", 44100, 1, 32, samples);

    ToolRun run = velmoractl("audio convert " + dir + "cut.wav " + dir + "cut.m4a", "2>&1 >/dev/null");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "warning: " + (folder / "cut.wav").string() +
                              " ends early: it holds 44100 of the 88200 frames its header states; converting "
                              "the 44100\n");
    run = velmoractl("audio convert " + dir + "loud.wav " + dir + "loud.m4a", "2>&1 >/dev/null");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              "warning: replaced 300 non-finite or out-of-range samples in " + (folder / "loud.wav").string() + "\n");

    testsupport::writeFile(folder / "nine.f32", rawFloats(std::vector<float>(9 * 4800, 0.1f)));
    ASSERT_EQ(velmoractl("audio caf " + dir + "nine.f32 " + dir + "nine.caf --rate 48000 --channels 9").status, 0);
    run = velmoractl("audio convert " + dir + "nine.caf " + dir + "nine.m4a", "2>&1 >/dev/null");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "warning: " + (folder / "nine.caf").string() +
                              " was mixed down from 9 channels to stereo: AAC carries at most 8\n");
}

TEST(VelmoractlAudio, FailuresPrintTheDescriptionOnStandardErrorAndExitNonZero) {
    testsupport::TemporaryDirectory folder;
    const auto dir = "'" + folder.path().string() + "'/";
    testsupport::writeFile(folder / "text.caf", "just text\n");
    testsupport::writeFile(folder / "torn.f32", std::string(7, '\0'));

    ToolRun run = velmoractl("audio convert " + dir + "text.caf " + dir + "out.m4a", "2>&1 >/dev/null");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "Cannot open audio file " + (folder / "text.caf").string() + ": Invalid data found when processing input\n");
    EXPECT_EQ(velmoractl("audio convert " + dir + "text.caf " + dir + "out.m4a").output, "");

    run = velmoractl("audio caf " + dir + "torn.f32 " + dir + "out.caf --rate 48000 --channels 1", "2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("does not hold whole frames"), std::string::npos) << run.output;

    for (const char* bad : {"audio", "audio convert onlyone", "audio caf a b --rate 0 --channels 1",
                            "audio caf a b --rate 48000", "audio caf a b --rate x --channels 1", "audio play x"}) {
        EXPECT_EQ(velmoractl(bad).status, 2) << bad;
    }
}

} // namespace
