#pragma once
// Whether both tracks may be recorded. Linux has no per-application grant and no prompt, so the
// answers come from the sound server itself: the microphone is granted when the server answers with
// an input (a source that is not a monitor), the system sound when the default output's monitor can
// be opened; "not determined" never occurs. A request asks again and writes three lines to the
// permission debug log. "Open settings" starts the sound settings at the matching page.

#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"
#include "VelmoraCore/AudioCapture/Devices/PermissionStatus.h"
#include "VelmoraCore/AudioCapture/Devices/ProgramLauncher.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace velmora {

class Permissions {
public:
    Permissions(AudioSystem& audioSystem, ProgramLauncher& launcher, std::filesystem::path debugLogPath);

    /// The machine's sound server, programs started from PATH, and the log in the documents folder.
    static Permissions standard();
    /// <documents folder>/velmora-permission-debug.log.
    static std::filesystem::path defaultDebugLogPath();

    PermissionStatus microphoneStatus() const;
    /// Asks again (there is nobody to prompt) and returns whether the microphone is granted; logs the
    /// status before, the answer, and the status after.
    bool requestMicrophoneAccess() const;
    /// Only granted or denied.
    PermissionStatus screenRecordingStatus() const;
    bool requestScreenRecordingAccess() const;

    /// The sound settings at their input devices (the microphone) or output devices (the system sound):
    /// pavucontrol, else the first present of GNOME's and KDE's sound settings, else nothing.
    void openSystemSettingsForMicrophone() const;
    void openSystemSettingsForScreenRecording() const;

    /// Appends "[yyyy-MM-dd HH:mm:ss +0000] message\n" to the debug log; a failure drops the line.
    void appendDebugLog(const std::string& message,
                        std::chrono::system_clock::time_point now = std::chrono::system_clock::now()) const;

private:
    void openSoundSettings(const char* pavucontrolTab) const;

    AudioSystem& audioSystem_;
    ProgramLauncher& launcher_;
    std::filesystem::path debugLogPath_;
};

} // namespace velmora
