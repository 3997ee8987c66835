#pragma once
// Everything the recording session uses of the machine, handed in so that the whole session runs in
// tests without audio hardware, models or a real clock. standard() gives the program's.

#include "VelmoraCore/AudioCapture/Devices/DeviceInfo.h"
#include "VelmoraCore/Recording/RecordingMicrophone.h"
#include "VelmoraCore/Recording/RecordingSystemAudio.h"
#include "VelmoraCore/Recording/SessionTranscription.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

namespace velmora {

struct SessionCollaborators {
    /// The wall clock: names the folders and measures the elapsed time.
    std::function<std::chrono::system_clock::time_point()> now;
    /// Free bytes on the volume of a folder; none when unknown.
    std::function<std::optional<std::int64_t>(const std::filesystem::path&)> availableBytes;
    /// The input a recording would use with a preferred UID, and the default output.
    std::function<DeviceInfo(const std::optional<std::string>&)> deviceInfo;
    /// Made once with the session.
    std::function<std::unique_ptr<RecordingMicrophone>()> makeMicrophone;
    /// Made anew for every recording; called off the main thread.
    std::function<std::unique_ptr<RecordingSystemAudio>()> makeSystemAudio;
    /// AudioConverter's operations; called off the main thread.
    std::function<void(const std::filesystem::path& source, const std::filesystem::path& destination,
                       std::stop_token stop)>
        convertToM4A;
    std::function<void(const std::filesystem::path& trackA, const std::filesystem::path& trackB,
                       const std::filesystem::path& destination, std::stop_token stop)>
        mix;
    std::shared_ptr<SessionTranscription> transcription;

    /// The system clock, the volume's free space, the sound server's devices, MicRecorder,
    /// SystemAudioRecorder, AudioConverter and `transcription` (the shared transcriber store when none).
    static SessionCollaborators standard(std::shared_ptr<SessionTranscription> transcription = nullptr);
};

} // namespace velmora
