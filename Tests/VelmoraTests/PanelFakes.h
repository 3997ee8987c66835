#pragma once
// The panel's surroundings for its tests: a sound server with devices set by the test, a recording
// session, sign-in and model set-up whose published state the test writes, and a shell that records
// what it was asked.

#include "Velmora/Panel/PanelAccess.h"
#include "Velmora/Panel/PanelModel.h"
#include "Velmora/Panel/PanelRecording.h"
#include "Velmora/Panel/PanelShell.h"
#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"
#include "VelmoraCore/AudioCapture/Devices/ProgramLauncher.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Updates/UpdateAvailabilityStore.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace paneltest {

class FakeAudioSystem final : public velmora::AudioSystem {
public:
    struct Device {
        std::string uid;
        std::string name;
        int inputs = 0;
        int outputs = 0;
        uint32_t transport = 0;
    };

    velmora::AudioDeviceID add(Device device);

    std::vector<velmora::AudioDeviceID> allDevices() override;
    velmora::AudioDeviceID defaultOutputDevice() override;
    velmora::AudioDeviceID defaultInputDevice() override;
    std::string deviceUID(velmora::AudioDeviceID device) override;
    std::string deviceName(velmora::AudioDeviceID device) override;
    double nominalSampleRate(velmora::AudioDeviceID) override { return 48000; }
    uint32_t transportType(velmora::AudioDeviceID device) override;
    int channelCount(velmora::AudioDeviceID device, velmora::AudioScope scope) override;
    void setDefaultOutputDevice(velmora::AudioDeviceID device) override;
    bool canRecordSystemAudio() override { return systemAudio; }

    /// 0: none (reading it fails).
    velmora::AudioDeviceID defaultOutput = 0;
    bool systemAudio = true;
    /// The server refuses to switch the output.
    bool refuseSwitch = false;
    int switches = 0;

private:
    const Device& at(velmora::AudioDeviceID device) const;
    std::map<velmora::AudioDeviceID, Device> devices_;
};

class FakeLauncher final : public velmora::ProgramLauncher {
public:
    std::optional<std::filesystem::path> find(const std::string& program) override;
    void startDetached(const std::filesystem::path& executable, const std::vector<std::string>& arguments) override;

    /// "pavucontrol --tab=4", one line per start.
    std::vector<std::string> started;
};

class FakeRecording final : public velmora::app::PanelRecording {
public:
    const velmora::Observable<velmora::RecordingPhase>& phase() const override { return phase_; }
    const velmora::Observable<double>& elapsedSeconds() const override { return elapsed_; }
    const velmora::Observable<float>& micLevel() const override { return level_; }
    const velmora::Observable<std::string>& transcriptText() const override { return text_; }
    const velmora::Observable<std::string>& transcriptProgress() const override { return progress_; }
    const velmora::Observable<int>& pendingTranscriptions() const override { return pending_; }
    const velmora::Observable<std::optional<std::string>>& transcriptionError() const override { return error_; }
    const velmora::Observable<velmora::DeviceInfo>& currentDeviceInfo() const override { return deviceInfo_; }

    void refreshDeviceInfo() override;
    void cancelTranscription() override { ++cancels; }
    void toggleRecording() override;

    velmora::Observable<velmora::RecordingPhase> phase_;
    velmora::Observable<double> elapsed_{0};
    velmora::Observable<float> level_{0};
    velmora::Observable<std::string> text_;
    velmora::Observable<std::string> progress_;
    velmora::Observable<int> pending_{0};
    velmora::Observable<std::optional<std::string>> error_;
    velmora::Observable<velmora::DeviceInfo> deviceInfo_;

    /// What refreshDeviceInfo() publishes; its input name follows the preferred UID when one is set.
    velmora::DeviceInfo nextDeviceInfo;
    const velmora::AppSettings* settings = nullptr;
    int refreshes = 0;
    int cancels = 0;
    int toggles = 0;
};

class FakeAccess final : public velmora::app::PanelAccess {
public:
    bool signInExists() const override { return hasSignIn; }
    const velmora::Observable<bool>& isSignedIn() const override { return signedIn_; }
    void signIn(std::function<void(std::exception_ptr)> completion) override;
    const velmora::Observable<velmora::ModelSetupPhase>& setupPhase() const override { return phase_; }
    void startSetupIfNeeded() override { ++setupStarts; }
    void retrySetup() override { ++retries; }

    /// Answers the waiting sign-in.
    void finishSignIn(std::exception_ptr error = nullptr);

    /// The application was given a sign-in service's address.
    bool hasSignIn = true;
    velmora::Observable<bool> signedIn_{false};
    velmora::Observable<velmora::ModelSetupPhase> phase_;
    std::function<void(std::exception_ptr)> pendingSignIn;
    int signIns = 0;
    int setupStarts = 0;
    int retries = 0;
};

class RecordingShell final : public velmora::app::PanelShell {
public:
    void bringToFront() override { calls.push_back("front"); }
    void copyText(const std::string& text) override { calls.push_back("copy " + text); }
    void openFolder(const std::filesystem::path& folder) override { calls.push_back("open " + folder.string()); }
    void openSettings() override { calls.push_back("settings"); }
    void checkForUpdates() override { calls.push_back("update check"); }

    std::vector<std::string> calls;
};

/// Everything a panel stands on, set to the state of a user who may record: both permissions, signed
/// in, the model ready, a built-in microphone and two outputs.
struct PanelWorld {
    PanelWorld();

    velmora::app::PanelModel::Dependencies dependencies();
    std::unique_ptr<velmora::app::PanelModel> makeModel();

    FakeAudioSystem audio;
    FakeLauncher launcher;
    std::unique_ptr<velmora::Permissions> permissions;
    FakeRecording recording;
    FakeAccess access;
    velmora::AppSettings settings;
    velmora::UpdateAvailabilityStore updates;
    RecordingShell shell;
    velmora::AudioDeviceID microphone = 0;
    velmora::AudioDeviceID speakers = 0;
    velmora::AudioDeviceID headphones = 0;
};

} // namespace paneltest
