#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "SonavexTests/ModelFolder.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/Audio/SpokenAudio.h"
#include "Support/Audio/TestPulseServer.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using Json = sonavex::json::Json;

std::vector<Json> jsonLines(const std::string& output) {
    std::vector<Json> lines;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(sonavex::json::parseDocument(line));
    }
    return lines;
}

std::vector<Json> valuesOf(const std::vector<Json>& lines, const std::string& field) {
    std::vector<Json> values;
    for (const auto& line : lines) {
        if (line.contains("field") && line["field"] == field) {
            values.push_back(line["value"]);
        }
    }
    return values;
}

const std::string kOptions = R"( --options '{"sampleLength": 12, "temperatureFallbackCount": 0}')";

class StreamTool : public ::testing::Test {
protected:
    void SetUp() override { makeModelFolder(folder.path()); }
    std::string stream(const std::string& arguments) const {
        return "stream --model-folder " + folder.path().string() + kOptions + " " + arguments;
    }
    testsupport::TemporaryDirectory folder;
};

class StreamToolOnTheSoundServer : public testsupport::PulseServerTest {
protected:
    testsupport::TemporaryDirectory folder;
};

} // namespace

TEST_F(StreamTool, APlayedFileGivesEveryChangeAndTheFinalSegmentsOnceAllOfItWasTranscribed) {
    const auto spoken = audiotest::speakWithPauses({"good morning", "see you tomorrow"}, 8000, 8000);
    writeFloats(folder / "speech.f32", spoken.samples);
    const auto outcome = runSonavex(stream("--from-file " + (folder / "speech.f32").string() + " --speed 20"));
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    const auto lines = jsonLines(outcome.output);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), Json::parse(R"({"field": "isRecording", "value": true})"));
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(lines[i].size(), 2u);
        EXPECT_TRUE(lines[i].contains("field") && lines[i].contains("value")) << lines[i].dump();
    }
    EXPECT_EQ(valuesOf(lines, "isRecording").back(), false);

    // Energies come as counts, one more per buffer; passes over growing audio, the last within a
    // second of the end.
    const auto energies = valuesOf(lines, "bufferEnergy");
    ASSERT_FALSE(energies.empty());
    for (size_t i = 0; i < energies.size(); ++i) {
        EXPECT_EQ(energies[i], int(i + 1));
    }
    EXPECT_EQ(energies.back(), int((spoken.samples.size() + 1599) / 1600));
    const auto sizes = valuesOf(lines, "lastBufferSize");
    ASSERT_FALSE(sizes.empty());
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    EXPECT_LE(int64_t(spoken.samples.size()) - sizes.back().get<int64_t>(), 16000);

    const Json& final = lines.back()["final"];
    ASSERT_TRUE(final.is_object()) << lines.back().dump();
    EXPECT_EQ(final.size(), 2u);
    EXPECT_TRUE(final["confirmedSegments"].is_array());
    EXPECT_EQ(final["unconfirmedSegments"], valuesOf(lines, "unconfirmedSegments").back());
}

TEST_F(StreamTool, BadInputStopsBeforeAnythingRecords) {
    const auto missing = runSonavex(stream("--from-file " + (folder / "missing.wav").string()), true);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output.find("isRecording"), std::string::npos) << missing.output;

    EXPECT_EQ(runSonavex(stream("--speed 2 --seconds 1")).status, 2);
    EXPECT_EQ(runSonavex(stream("--from-file x.f32 --device 1")).status, 2);
    EXPECT_EQ(runSonavex(stream("--device 1")).status, 2); // a device needs --seconds
    EXPECT_EQ(runSonavex(stream("--from-file x.f32 --speed 0")).status, 2);
    EXPECT_EQ(runSonavex(stream("--seconds 1 --confirm -1")).status, 2);
    EXPECT_EQ(runSonavex("stream --seconds 1").status, 2);
}

TEST_F(StreamToolOnTheSoundServer, RecordsTheDefaultInputForTheSecondsGiven) {
    makeModelFolder(folder.path());
    const auto outcome =
        runSonavex("stream --model-folder " + folder.path().string() + kOptions + " --seconds 1.5 --confirm 0");
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    const auto lines = jsonLines(outcome.output);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(valuesOf(lines, "isRecording"), (std::vector<Json>{true, false}));
    EXPECT_GE(valuesOf(lines, "bufferEnergy").size(), 10u); // the test source's tone, a buffer per 0.1 s
    EXPECT_TRUE(lines.back().contains("final"));
}

TEST_F(StreamTool, NoReachableSoundServerIsAnErrorSayingWhyCaptureDidNotStart) {
    ToolOutcome outcome;
    outcome.status = testsupport::runCommand("env PULSE_SERVER=unix:/nonexistent/pulse/native " +
                                                 testsupport::toolPath("sonavex").string() + " " +
                                                 stream("--seconds 1") + " 2>/dev/null",
                                             &outcome.output);
    EXPECT_EQ(outcome.status, 1) << outcome.output;
    const auto lines = jsonLines(outcome.output);
    ASSERT_EQ(lines.size(), 1u) << outcome.output;
    EXPECT_EQ(lines[0]["error"], "microphoneUnavailable");
    EXPECT_NE(lines[0]["message"].get<std::string>().find("Capture did not start"), std::string::npos);
}
