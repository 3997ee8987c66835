#pragma once
// The panel's state and decisions without any widget: which gate the record tab shows, the device
// warnings, the set-up rows, the recording controls' texts, and every button's and picker's effect.
// The widgets read it and redraw the parts `onChange` names; the meter and the time change ten times a
// second while recording, so they are a part of their own. Main thread only.

#include "Velmora/Panel/PanelAccess.h"
#include "Velmora/Panel/PanelRecording.h"
#include "Velmora/Panel/PanelShell.h"
#include "VelmoraCore/AudioCapture/Devices/AudioDeviceOption.h"
#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"
#include "VelmoraCore/AudioCapture/Devices/Permissions.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Updates/UpdateAvailabilityStore.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::app {

class PanelModel {
public:
    enum class Tab { record, history };
    /// The one thing the record tab shows below the update banner.
    enum class Gate { permissions, signIn, modelSetup, recording };

    /// Parts of the panel, as bits: what changed since the widgets last read them.
    enum Part : unsigned {
        tabPart = 1u << 0,
        updatePart = 1u << 1,
        gatePart = 1u << 2,
        permissionPart = 1u << 3,
        signInPart = 1u << 4,
        setupPart = 1u << 5,
        devicePart = 1u << 6,
        controlsPart = 1u << 7,
        meterPart = 1u << 8,
        transcriptPart = 1u << 9,
    };

    struct DeviceWarnings {
        enum class Note { none, bluetoothRedirect, lowQualityMic };
        bool builtInSpeaker = false;
        Note note = Note::none;
        bool operator==(const DeviceWarnings&) const = default;
    };

    struct SetupRows {
        enum class Indicator { none, spinner, bar, failure };
        Indicator indicator = Indicator::none;
        /// 0…1 for the bar.
        double barValue = 0;
        std::string caption;
        /// The second, smaller line ("" when there is none): the percentage, the note or the failure text.
        std::string detail;
        bool retryButton = false;
    };

    struct Dependencies {
        PanelRecording& recording;
        PanelAccess& access;
        AppSettings& settings;
        UpdateAvailabilityStore& updates;
        Permissions& permissions;
        AudioSystem& audio;
        PanelShell& shell;
    };

    /// Reads both permissions, as the panel is made with them.
    explicit PanelModel(Dependencies dependencies);
    ~PanelModel();
    PanelModel(const PanelModel&) = delete;
    PanelModel& operator=(const PanelModel&) = delete;

    /// Told after each change with the changed parts (an or of Part bits).
    std::function<void(unsigned parts)> onChange;

    // The decisions.
    static DeviceWarnings deviceWarnings(const DeviceInfo& info);
    static SetupRows setupRows(const ModelSetupPhase& phase);
    /// The meter's filled share: level × 3 capped at 1 (nothing for a negative or unreadable level).
    static double meterFraction(float level);

    Gate gate() const;
    Tab selectedTab() const { return selectedTab_; }
    PermissionStatus micPermission() const { return micPermission_; }
    PermissionStatus screenPermission() const { return screenPermission_; }
    bool isSigningIn() const { return isSigningIn_; }
    const std::optional<std::string>& signInError() const { return signInError_; }
    const std::vector<AudioDeviceOption>& inputDevices() const { return inputDevices_; }
    const std::vector<AudioDeviceOption>& outputDevices() const { return outputDevices_; }
    const std::string& selectedOutputUID() const { return selectedOutputUID_; }
    /// The microphone picker's value: the preferred UID, "" for automatic.
    std::string micSelection() const;
    /// "" while there is no update to offer.
    std::string updateBannerText() const;
    DeviceWarnings currentDeviceWarnings() const;
    /// "" when a microphone is chosen (the line is hidden then).
    std::string micInUseText() const;
    std::string recordButtonTitle() const;
    /// "" unless recording.
    std::string elapsedText() const;
    /// "" while no job is pending.
    std::string transcriptionStatusText() const;
    /// "" unless the last recording failed.
    std::string recordingFailureText() const;

    PanelRecording& recording() const { return deps_.recording; }
    PanelAccess& access() const { return deps_.access; }
    const AppSettings& settings() const { return deps_.settings; }
    PanelShell& shell() const { return deps_.shell; }

    // The actions.
    void appear();
    void selectTab(Tab tab);
    void openSettings();
    void installUpdate();
    void grantMicrophone();
    void grantSystemAudio();
    void recheckPermissions();
    void signIn();
    void retrySetup();
    void selectMicrophone(const std::string& uid);
    void selectOutput(const std::string& uid);
    void toggleRecording();
    void cancelTranscription();
    void copyTranscript();
    void openSaveFolder();

private:
    void refreshDevices();
    void readPermissions();
    /// Past the sign-in gate: signed in, or there is no sign-in to pass.
    bool isSignedInOrNeedNot() const;
    std::string defaultOutputUID() const;
    void changed(unsigned parts);
    template <class T> void watch(const Observable<T>& property, unsigned parts);

    Dependencies deps_;
    Tab selectedTab_ = Tab::record;
    PermissionStatus micPermission_;
    PermissionStatus screenPermission_;
    bool isSigningIn_ = false;
    std::optional<std::string> signInError_;
    std::vector<AudioDeviceOption> inputDevices_;
    std::vector<AudioDeviceOption> outputDevices_;
    std::string selectedOutputUID_;
    std::vector<std::function<void()>> unsubscribe_;
    // Sign-in completions look at this: the panel may be gone when the answer comes.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmora::app
