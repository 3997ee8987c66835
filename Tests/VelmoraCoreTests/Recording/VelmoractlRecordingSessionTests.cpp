#include "../VelmoractlRunner.h"
#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

namespace {

class VelmoractlRecordingSessionTest : public testsupport::PulseServerTest {
protected:
    // The tool refuses to record with less than 10 GB free where the recordings go. When the temporary
    // folder's disk is that full, the home's Documents folder links to shared memory instead (if it has
    // the room), so the test does not depend on how full the build machine's disk happens to be.
    VelmoractlRecordingSessionTest() {
        const auto enough = [](const std::filesystem::path& path) {
            const auto available = velmora::DiskSpace::availableBytes(path);
            return !available || *available >= velmora::DiskSpace::warningThresholdBytes;
        };
        if (enough(velmoractl.home.path()) || !enough("/dev/shm")) {
            return;
        }
        std::string pattern = "/dev/shm/velmora-test.XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            roomyDocuments = pattern;
            std::filesystem::create_directory_symlink(*roomyDocuments, velmoractl.home / "Documents");
        }
    }
    ~VelmoractlRecordingSessionTest() override {
        if (roomyDocuments) {
            std::error_code ignored;
            std::filesystem::remove_all(*roomyDocuments, ignored);
        }
    }

    /// The printed changes of one property, in order.
    static std::vector<nlohmann::json> changes(const std::string& output, const std::string& property) {
        std::vector<nlohmann::json> values;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            const auto change = nlohmann::json::parse(line);
            EXPECT_EQ(change.size(), 2u) << line;
            if (change.at("property") == property) {
                values.push_back(change.at("value"));
            }
        }
        return values;
    }

    velmoractltest::Velmoractl velmoractl;
    std::optional<std::filesystem::path> roomyDocuments;
};

} // namespace

TEST_F(VelmoractlRecordingSessionTest, TwoRecordingsOnTheSoundServerEachEndAsAFolderWithTheMixAndTranscripts) {
    testsupport::writeFile(velmoractl.home / "fake.json",
                           R"({"me": [{"startSeconds": 0.2, "endSeconds": 0.6, "text": "はい"}],
                               "other": [{"startSeconds": 0.1, "endSeconds": 0.5, "text": "もしもし"}]})");
    const auto run = velmoractl("recording-session --seconds 1 --recordings 2 --fake-transcriber fake.json");
    ASSERT_EQ(run.status, 0) << run.output;

    using nlohmann::json;
    EXPECT_EQ(changes(run.output, "phase"),
              (std::vector<json>{"idle", "recording", "idle", "idle", "recording", "idle"}))
        << "each recording is the toggle's reset and start, then the stop";
    const std::vector<json> oneJob{"音声を変換中…", "自分の発話を文字起こし中…", "相手の発話を文字起こし中…",
                                   "音声をまとめています…", "完了"};
    auto progress = changes(run.output, "transcriptProgress");
    EXPECT_EQ(progress.size(), 10u);
    EXPECT_TRUE(std::equal(oneJob.begin(), oneJob.end(), progress.begin()));
    EXPECT_TRUE(std::equal(oneJob.begin(), oneJob.end(), progress.begin() + 5));
    EXPECT_EQ(changes(run.output, "transcriptText").back(), "相手: もしもし\n自分: はい");
    EXPECT_EQ(changes(run.output, "pendingTranscriptions").back(), 0);
    EXPECT_FALSE(changes(run.output, "elapsedSeconds").empty());
    EXPECT_FALSE(changes(run.output, "micLevel").empty());

    const auto folders = changes(run.output, "lastFinishedFolder");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_NE(folders[0], folders[1]);
    for (const auto& folder : folders) {
        const std::filesystem::path path = folder.get<std::string>();
        EXPECT_EQ(path.parent_path(), velmoractl.home / "Documents" / "ベルモラ");
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"recording.m4a", "transcript.json", "transcript.txt"}));
        EXPECT_EQ(testsupport::readFile(path / "transcript.txt"), "[00:00] 相手: もしもし\n[00:00] 自分: はい");
    }
}

TEST_F(VelmoractlRecordingSessionTest, WithoutAModelTheJobFailsAfterConvertingAndTheToolSaysSo) {
    const auto run = velmoractl("recording-session --seconds 0.5 --endpoint http://127.0.0.1:9/hub");
    EXPECT_EQ(run.status, 1) << run.output;
    const auto errors = changes(run.output, "transcriptionError");
    ASSERT_FALSE(errors.empty());
    ASSERT_TRUE(errors.back().is_string());
    EXPECT_EQ(errors.back().get<std::string>().rfind("文字起こしに失敗しました: ", 0), 0u);
    EXPECT_EQ(changes(run.output, "transcriptProgress").back(), "");

    EXPECT_EQ(velmoractl("recording-session --seconds 0").status, 2);
    EXPECT_EQ(velmoractl("recording-session --seconds 1 --recordings 0").status, 2);
}

TEST_F(VelmoractlRecordingSessionTest, CancelAfterZeroCancelsRightAfterTheStop) {
    testsupport::writeFile(velmoractl.home / "fake.json", R"({"me": [], "other": []})");
    const auto run = velmoractl("recording-session --seconds 0.5 --fake-transcriber fake.json --cancel-after 0", true);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("millisecond"), std::string::npos) << run.output;
    EXPECT_EQ(velmoractl("recording-session --seconds 1 --cancel-after -1").status, 2);
}
