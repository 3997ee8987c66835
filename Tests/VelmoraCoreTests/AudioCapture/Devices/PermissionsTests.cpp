#include "FakeAudioSystem.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/AudioCapture/Devices/Permissions.h"

#include <gtest/gtest.h>
#include <regex>

using testsupport::FakeAudioDevice;
using testsupport::FakeAudioSystem;
using velmora::Permissions;
using velmora::PermissionStatus;

namespace {

class FakeLauncher : public velmora::ProgramLauncher {
public:
    std::vector<std::string> installed;
    std::vector<std::vector<std::string>> started;

    std::optional<std::filesystem::path> find(const std::string& program) override {
        for (const auto& name : installed) {
            if (name == program) {
                return "/usr/bin/" + program;
            }
        }
        return std::nullopt;
    }
    void startDetached(const std::filesystem::path& executable,
                       const std::vector<std::string>& arguments) override {
        std::vector<std::string> line{executable.string()};
        line.insert(line.end(), arguments.begin(), arguments.end());
        started.push_back(line);
    }
};

class PermissionsTest : public ::testing::Test {
protected:
    Permissions permissions() {
        return Permissions(system, launcher, folder / "velmora-permission-debug.log");
    }
    std::string log() { return testsupport::readFile(folder / "velmora-permission-debug.log"); }

    testsupport::TemporaryDirectory folder;
    FakeAudioSystem system;
    FakeLauncher launcher;
};

} // namespace

TEST_F(PermissionsTest, MicrophoneNeedsAnInputAndSystemSoundItsMonitor) {
    EXPECT_EQ(permissions().microphoneStatus(), PermissionStatus::denied);
    system.devices = {FakeAudioDevice{1, "speakers", "Speakers", 48000.0, 0, 0, 2}};
    EXPECT_EQ(permissions().microphoneStatus(), PermissionStatus::denied);
    system.devices.push_back(FakeAudioDevice{2, "mic", "Mic", 48000.0, 0, 1, 0});
    EXPECT_EQ(permissions().microphoneStatus(), PermissionStatus::granted);
    system.deviceListFails = true;
    EXPECT_EQ(permissions().microphoneStatus(), PermissionStatus::denied);

    EXPECT_EQ(permissions().screenRecordingStatus(), PermissionStatus::granted);
    EXPECT_TRUE(permissions().requestScreenRecordingAccess());
    system.systemAudioRecordable = false;
    EXPECT_EQ(permissions().screenRecordingStatus(), PermissionStatus::denied);
    EXPECT_FALSE(permissions().requestScreenRecordingAccess());
}

TEST_F(PermissionsTest, EveryRequestAppendsItsThreeLines) {
    EXPECT_FALSE(permissions().requestMicrophoneAccess());
    system.devices = {FakeAudioDevice{2, "mic", "Mic", 48000.0, 0, 1, 0}};
    EXPECT_TRUE(permissions().requestMicrophoneAccess());

    const std::string stamp = R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000\] )";
    const std::regex expected(stamp + "requestMicrophoneAccess\\(\\) 呼び出し開始。現在のstatus=denied\n" +
                              stamp + "AVCaptureDevice.requestAccess completion: granted=false\n" + stamp +
                              "requestMicrophoneAccess\\(\\) 完了。granted=false、再確認status=denied\n" +
                              stamp + "requestMicrophoneAccess\\(\\) 呼び出し開始。現在のstatus=granted\n" +
                              stamp + "AVCaptureDevice.requestAccess completion: granted=true\n" + stamp +
                              "requestMicrophoneAccess\\(\\) 完了。granted=true、再確認status=granted\n");
    EXPECT_TRUE(std::regex_match(log(), expected)) << log();
}

TEST_F(PermissionsTest, LogLinesCarryTheUtcTimeAndAMissingFolderDropsThem) {
    permissions().appendDebugLog("one", std::chrono::system_clock::from_time_t(0));
    permissions().appendDebugLog("two", std::chrono::system_clock::from_time_t(86399));
    EXPECT_EQ(log(), "[1970-01-01 00:00:00 +0000] one\n[1970-01-01 23:59:59 +0000] two\n");

    Permissions nowhere(system, launcher, folder / "missing" / "velmora-permission-debug.log");
    nowhere.appendDebugLog("lost");
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST_F(PermissionsTest, SettingsOpenTheFirstSoundSettingsPresentAtTheRightPage) {
    permissions().openSystemSettingsForMicrophone();
    EXPECT_TRUE(launcher.started.empty());

    launcher.installed = {"systemsettings"};
    permissions().openSystemSettingsForMicrophone();
    launcher.installed = {"systemsettings", "gnome-control-center"};
    permissions().openSystemSettingsForScreenRecording();
    launcher.installed = {"systemsettings", "gnome-control-center", "pavucontrol"};
    permissions().openSystemSettingsForMicrophone();
    permissions().openSystemSettingsForScreenRecording();
    EXPECT_EQ(launcher.started, (std::vector<std::vector<std::string>>{
                                    {"/usr/bin/systemsettings", "kcm_pulseaudio"},
                                    {"/usr/bin/gnome-control-center", "sound"},
                                    {"/usr/bin/pavucontrol", "--tab=4"},
                                    {"/usr/bin/pavucontrol", "--tab=3"},
                                }));
}
