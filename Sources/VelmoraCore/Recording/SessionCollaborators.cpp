#include "VelmoraCore/Recording/SessionCollaborators.h"

#include "VelmoraCore/AudioCapture/AudioConverter.h"
#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"
#include "VelmoraCore/AudioCapture/Recording/MicRecorder.h"
#include "VelmoraCore/AudioCapture/Recording/SystemAudioRecorder.h"
#include "VelmoraCore/Recording/StoreTranscription.h"
#include "VelmoraCore/Transcription/TranscriberStore.h"

namespace velmora {

namespace {

class MicRecorderMicrophone final : public RecordingMicrophone {
public:
    void setPreferredDeviceUID(std::optional<std::string> uid) override { recorder_.preferredDeviceUID = std::move(uid); }
    void start(const std::filesystem::path& file) override { recorder_.start(file); }
    void stop() override { recorder_.stop(); }
    float level() const override { return recorder_.level(); }
    std::int64_t writeFailureCount() const override { return recorder_.writeFailureCount(); }
    std::exception_ptr lastWriteError() const override { return recorder_.lastWriteError(); }
    bool inputEnded() const override { return recorder_.inputEnded(); }

private:
    MicRecorder recorder_;
};

class SystemAudioRecorderSource final : public RecordingSystemAudio {
public:
    void start(const std::filesystem::path& file) override { recorder_.start(file); }
    void stop() override { recorder_.stop(); }

private:
    SystemAudioRecorder recorder_;
};

} // namespace

SessionCollaborators SessionCollaborators::standard(std::shared_ptr<SessionTranscription> transcription) {
    SessionCollaborators collaborators;
    collaborators.now = [] { return std::chrono::system_clock::now(); };
    collaborators.availableBytes = [](const std::filesystem::path& folder) { return DiskSpace::availableBytes(folder); };
    collaborators.deviceInfo = [](const std::optional<std::string>& uid) { return DeviceInfo::current(uid); };
    collaborators.makeMicrophone = [] { return std::make_unique<MicRecorderMicrophone>(); };
    collaborators.makeSystemAudio = [] { return std::make_unique<SystemAudioRecorderSource>(); };
    collaborators.convertToM4A = [](const std::filesystem::path& source, const std::filesystem::path& destination,
                                    std::stop_token stop) {
        AudioConverter::convertToM4A(source, destination, std::move(stop));
    };
    collaborators.mix = [](const std::filesystem::path& trackA, const std::filesystem::path& trackB,
                           const std::filesystem::path& destination, std::stop_token stop) {
        AudioConverter::mix(trackA, trackB, destination, std::move(stop));
    };
    collaborators.transcription =
        transcription ? std::move(transcription) : std::make_shared<StoreTranscription>(TranscriberStore::shared());
    return collaborators;
}

} // namespace velmora
