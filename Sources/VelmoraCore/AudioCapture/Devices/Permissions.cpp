#include "VelmoraCore/AudioCapture/Devices/Permissions.h"

#include "OrvaneCore/System/FileManager.h"
#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"
#include "VelmoraCore/AudioCapture/Devices/SystemProgramLauncher.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {

namespace {

std::string boolText(bool value) {
    return value ? "true" : "false";
}

std::string utcTimestamp(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
    return text;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += size_t(n);
    }
    return true;
}

} // namespace

Permissions::Permissions(AudioSystem& audioSystem, ProgramLauncher& launcher,
                         std::filesystem::path debugLogPath)
    : audioSystem_(audioSystem), launcher_(launcher), debugLogPath_(std::move(debugLogPath)) {}

Permissions Permissions::standard() {
    static SystemProgramLauncher launcher;
    return Permissions(AudioSystem::shared(), launcher, defaultDebugLogPath());
}

std::filesystem::path Permissions::defaultDebugLogPath() {
    return orvane::FileManager::documentsDirectory() / "velmora-permission-debug.log";
}

PermissionStatus Permissions::microphoneStatus() const {
    std::vector<AudioDeviceID> devices;
    try {
        devices = allAudioDevices(audioSystem_);
    } catch (const std::exception&) {
        return PermissionStatus::denied;
    }
    for (AudioDeviceID device : devices) {
        try {
            if (inputChannelCount(device, audioSystem_) > 0) {
                return PermissionStatus::granted;
            }
        } catch (const std::exception&) {
            // A device that does not answer grants nothing.
        }
    }
    return PermissionStatus::denied;
}

bool Permissions::requestMicrophoneAccess() const {
    appendDebugLog("requestMicrophoneAccess() 呼び出し開始。現在のstatus=" +
                   permissionStatusName(microphoneStatus()));
    const bool granted = microphoneStatus() == PermissionStatus::granted;
    appendDebugLog("AVCaptureDevice.requestAccess completion: granted=" + boolText(granted));
    appendDebugLog("requestMicrophoneAccess() 完了。granted=" + boolText(granted) +
                   "、再確認status=" + permissionStatusName(microphoneStatus()));
    return granted;
}

PermissionStatus Permissions::screenRecordingStatus() const {
    return audioSystem_.canRecordSystemAudio() ? PermissionStatus::granted : PermissionStatus::denied;
}

bool Permissions::requestScreenRecordingAccess() const {
    return screenRecordingStatus() == PermissionStatus::granted;
}

void Permissions::openSystemSettingsForMicrophone() const {
    openSoundSettings("--tab=4");
}

void Permissions::openSystemSettingsForScreenRecording() const {
    openSoundSettings("--tab=3");
}

void Permissions::openSoundSettings(const char* pavucontrolTab) const {
    // pavucontrol's tabs, counted from 1: playback, recording, output devices, input devices.
    const std::vector<std::pair<std::string, std::vector<std::string>>> candidates{
        {"pavucontrol", {pavucontrolTab}},
        {"gnome-control-center", {"sound"}},
        {"systemsettings", {"kcm_pulseaudio"}},
    };
    for (const auto& [program, arguments] : candidates) {
        if (auto executable = launcher_.find(program)) {
            launcher_.startDetached(*executable, arguments);
            return;
        }
    }
}

void Permissions::appendDebugLog(const std::string& message,
                                 std::chrono::system_clock::time_point now) const {
    const std::string line = "[" + utcTimestamp(now) + "] " + message + "\n";
    std::error_code error;
    if (std::filesystem::exists(debugLogPath_, error)) {
        const int fd = ::open(debugLogPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        writeAll(fd, line);
        ::close(fd);
        return;
    }
    // A new file; the folder is not created for it, so a missing documents folder drops the line.
    const int fd = ::open(debugLogPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    writeAll(fd, line);
    ::close(fd);
}

} // namespace velmora
