#include "Platform/Audio/Files/AudioFileReader.h"
#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

struct ToolRun {
    int status;
    std::vector<std::string> lines;
};

// The tool on the private sound server, away from any session bus (no screen saver to bother).
ToolRun velmoractl(const std::string& arguments) {
    std::string output;
    ToolRun run{};
    run.status = testsupport::runCommand("env -u DBUS_SESSION_BUS_ADDRESS '" +
                                             testsupport::toolPath("velmoractl").string() + "' " + arguments +
                                             " 2>/dev/null",
                                         &output);
    std::istringstream text(output);
    for (std::string line; std::getline(text, line);) {
        run.lines.push_back(line);
    }
    return run;
}

class VelmoractlRecordTest : public testsupport::PulseServerTest {
protected:
    testsupport::TemporaryDirectory folder;
};

} // namespace

TEST_F(VelmoractlRecordTest, RecordsBothTracksPrintingTheLevelThenWhatWasRecorded) {
    const std::string out = (folder / "take").string();
    auto run = velmoractl("record --seconds 1 --dir '" + out + "' --mic test_source");
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.lines.size(), 11u);
    for (size_t i = 0; i + 1 < run.lines.size(); ++i) {
        ASSERT_EQ(run.lines[i].rfind("level ", 0), 0u) << run.lines[i];
    }
    // The test source plays a sine of amplitude 0.5.
    EXPECT_NEAR(std::stod(run.lines[9].substr(6)), 0.5, 0.01);

    const int64_t frames = audio::AudioFileReader(folder / "take" / "mic.caf").length();
    EXPECT_GT(frames, 0);
    EXPECT_EQ(run.lines.back(), "{\"mic\":{\"device\":\"test_source\",\"sampleRate\":16000,\"channels\":1,\"frames\":" +
                                    std::to_string(frames) +
                                    ",\"writeFailureCount\":0,\"lastError\":null},\"system\":{\"started\":true,\"lastError\":null}}");
    audio::AudioFileReader system(folder / "take" / "system_capture.mp4");
    EXPECT_EQ(system.codecName(), "aac");
    EXPECT_EQ(system.fileFormat().channelCount, 2u);
}

TEST_F(VelmoractlRecordTest, EitherTrackAloneAndAFailedStart) {
    auto run = velmoractl("record --seconds 0.3 --dir '" + (folder / "mic").string() + "' --mic-only");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.size(), 4u);
    EXPECT_EQ(run.lines.back().rfind("{\"mic\":{\"device\":\"test_source\"", 0), 0u) << run.lines.back();
    EXPECT_NE(run.lines.back().find("},\"system\":null}"), std::string::npos) << run.lines.back();
    EXPECT_FALSE(std::filesystem::exists(folder / "mic" / "system_capture.mp4"));

    run = velmoractl("record --seconds 0.3 --dir '" + (folder / "system").string() + "' --system-only");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"{\"mic\":null,\"system\":{\"started\":true,\"lastError\":null}}"}));
    EXPECT_FALSE(std::filesystem::exists(folder / "system" / "mic.caf"));

    // A monitor is no microphone: with one as the default input there is nothing to record.
    ASSERT_EQ(testsupport::pactl("set-default-source test_sink.monitor"), 0);
    run = velmoractl("record --seconds 0.3 --dir '" + (folder / "none").string() + "'");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_NE(run.lines[0].find("既定の入力デバイスが見つかりません"), std::string::npos) << run.lines[0];

    for (const char* bad : {"--seconds 1 --dir x --mic-only --system-only", "--seconds 0 --dir x",
                            "--seconds abc --dir x", "--dir x"}) {
        EXPECT_EQ(velmoractl(std::string("record ") + bad).status, 2) << bad;
    }
}
