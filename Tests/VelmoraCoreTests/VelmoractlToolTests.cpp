#include "Support/StandardOptions.h"
#include "Support/TestSupport.h"
#include "VelmoractlRunner.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using velmoractltest::ToolRun;

class Velmoractl : public velmoractltest::Velmoractl {
public:
    std::string settingsLine(const std::string& model, const std::string& threshold, const std::string& uid) const {
        return "{\"modelName\":\"" + model + "\",\"vadThreshold\":" + threshold + ",\"preferredInputDeviceUID\":" +
               uid + ",\"saveDirectory\":\"" + (home.path() / "Documents/ベルモラ").string() + "\"}\n";
    }
};

} // namespace

TEST(VelmoractlTool, SettingsShowSetAndUnsetPrintTheSettingsAfterTheChange) {
    Velmoractl velmoractl;
    const std::string model = "large-v3-v20240930_turbo_632MB";
    EXPECT_EQ(velmoractl("settings show").output, velmoractl.settingsLine(model, "0.02", "null"));
    EXPECT_EQ(velmoractl("settings set vadThreshold 0.05").output, velmoractl.settingsLine(model, "0.05", "null"));
    EXPECT_EQ(velmoractl("settings set preferredInputDeviceUID 'alsa/mic \"1\"'").output,
              velmoractl.settingsLine(model, "0.05", "\"alsa/mic \\\"1\\\"\""));
    EXPECT_EQ(velmoractl("settings set modelName tiny").output,
              velmoractl.settingsLine("tiny", "0.05", "\"alsa/mic \\\"1\\\"\""));
    EXPECT_EQ(velmoractl("settings unset preferredInputDeviceUID").output,
              velmoractl.settingsLine("tiny", "0.05", "null"));
    EXPECT_EQ(velmoractl("settings show").output, velmoractl.settingsLine("tiny", "0.05", "null"));

    for (const char* bad :
         {"settings set vadThreshold loud", "settings set colour red", "settings unset modelName", "settings",
          "settings show extra", "nosuchgroup", "settings set modelName ''", "settings set modelName '  '",
          "settings set vadThreshold -0.5",
          "settings set vadThreshold 0.2", "settings set vadThreshold 0.004",
          "settings set vadThreshold nan"}) {
        ToolRun run = velmoractl(bad, true);
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.output.find("usage:"), std::string::npos) << bad;
    }
    EXPECT_NE(velmoractl("settings set vadThreshold -1", true).output.find("from 0.005 to 0.1, not \"-1\""),
              std::string::npos);
    EXPECT_EQ(velmoractl("settings show").output, velmoractl.settingsLine("tiny", "0.05", "null"));
}

TEST(VelmoractlTool, EveryGroupAndCommandAnswersHelpAndVersion) {
    testsupport::expectStandardOptions("velmoractl", {"", "audio convert", "auth callback", "dual-layout",
                                                      "settings", "settings set", "transcript write"});
}

TEST(VelmoractlTool, EnsureSaveDirCreatesTheFolderOrReportsWhatBlocksIt) {
    Velmoractl velmoractl;
    const fs::path folder = velmoractl.home.path() / "Documents/ベルモラ";
    ToolRun made = velmoractl("settings ensure-save-dir");
    EXPECT_EQ(made.status, 0);
    EXPECT_EQ(made.output, "{\"saveDirectory\":\"" + folder.string() + "\"}\n");
    EXPECT_TRUE(fs::is_directory(folder));

    fs::remove(folder);
    testsupport::writeFile(folder, "");
    ToolRun blocked = velmoractl("settings ensure-save-dir");
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(blocked.output.starts_with("{\"error\":\"fileSystemError\",\"message\":\"")) << blocked.output;
    EXPECT_NE(blocked.output.find(folder.string()), std::string::npos) << blocked.output;
}

TEST(VelmoractlTool, TranscriptWriteMergesAndWritesBothFiles) {
    Velmoractl velmoractl;
    const fs::path dir = velmoractl.home.path();
    testsupport::writeFile(dir / "me.json", R"([{"startSeconds": 2, "endSeconds": 3, "text": "はい"},
                                                {"startSeconds": 3700.5, "endSeconds": 3701, "text": "a/b"}])");
    testsupport::writeFile(dir / "other.json", R"([{"startSeconds": 2, "endSeconds": 2.5, "text": "どうも"}])");
    ToolRun run = velmoractl("transcript write --me '" + (dir / "me.json").string() + "' --other '" +
                             (dir / "other.json").string() + "' --dir '" + dir.string() + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "{\"text\":\"" + (dir / "transcript.txt").string() + "\",\"json\":\"" +
                              (dir / "transcript.json").string() + "\",\"segments\":3}\n");
    EXPECT_EQ(testsupport::readFile(dir / "transcript.txt"),
              "[00:02] 自分: はい\n[00:02] 相手: どうも\n[01:01:40] 自分: a/b");
    const std::string json = testsupport::readFile(dir / "transcript.json");
    EXPECT_TRUE(json.starts_with("[\n  {\n    \"endSeconds\" : 3,\n    \"speaker\" : \"自分\",\n")) << json;
    EXPECT_NE(json.find("\"text\" : \"a\\/b\""), std::string::npos) << json;
}

TEST(VelmoractlTool, MalformedTranscriptInputNamesTheFileAndWritesNothing) {
    Velmoractl velmoractl;
    const fs::path dir = velmoractl.home.path();
    testsupport::writeFile(dir / "good.json", "[]");
    const std::pair<const char*, const char*> cases[] = {
        {"{", "is not valid JSON"},
        {R"({"startSeconds": 1})", "expected an array"},
        {R"([{"startSeconds": "1", "endSeconds": 2, "text": ""}])", "segment 0: \\\"startSeconds\\\" must be a number"},
        {R"([{"startSeconds": 1, "endSeconds": 2}])", "\\\"text\\\" must be a string"},
        {R"([3])", "segment 0 is not an object"},
    };
    for (const auto& [contents, message] : cases) {
        testsupport::writeFile(dir / "bad.json", contents);
        ToolRun run = velmoractl("transcript write --me '" + (dir / "good.json").string() + "' --other '" +
                                 (dir / "bad.json").string() + "' --dir '" + dir.string() + "'");
        EXPECT_EQ(run.status, 1) << contents;
        EXPECT_TRUE(run.output.starts_with("{\"error\":\"inputError\",\"message\":\"" + (dir / "bad.json").string()))
            << run.output;
        EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
    }
    ToolRun missing = velmoractl("transcript write --me '" + (dir / "absent.json").string() + "' --other '" +
                                 (dir / "good.json").string() + "' --dir '" + dir.string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("absent.json"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "transcript.txt"));
    EXPECT_FALSE(fs::exists(dir / "transcript.json"));
    EXPECT_EQ(velmoractl("transcript write --me x.json", true).status, 2);
}
