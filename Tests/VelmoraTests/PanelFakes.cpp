#include "PanelFakes.h"

#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

namespace paneltest {

using namespace velmora;

AudioDeviceID FakeAudioSystem::add(Device device) {
    const AudioDeviceID id = AudioDeviceID(devices_.size() + 1);
    devices_[id] = std::move(device);
    return id;
}

const FakeAudioSystem::Device& FakeAudioSystem::at(AudioDeviceID device) const {
    const auto found = devices_.find(device);
    if (found == devices_.end()) {
        throw CAError::status("device", -1);
    }
    return found->second;
}

std::vector<AudioDeviceID> FakeAudioSystem::allDevices() {
    std::vector<AudioDeviceID> ids;
    for (const auto& [id, device] : devices_) {
        ids.push_back(id);
    }
    return ids;
}

AudioDeviceID FakeAudioSystem::defaultOutputDevice() {
    if (defaultOutput == 0) {
        throw CAError::status("defaultOutputDevice", -1);
    }
    return defaultOutput;
}

AudioDeviceID FakeAudioSystem::defaultInputDevice() {
    for (const auto& [id, device] : devices_) {
        if (device.inputs > 0) {
            return id;
        }
    }
    throw CAError::status("defaultInputDevice", -1);
}

std::string FakeAudioSystem::deviceUID(AudioDeviceID device) {
    return at(device).uid;
}

std::string FakeAudioSystem::deviceName(AudioDeviceID device) {
    return at(device).name;
}

uint32_t FakeAudioSystem::transportType(AudioDeviceID device) {
    return at(device).transport;
}

int FakeAudioSystem::channelCount(AudioDeviceID device, AudioScope scope) {
    return scope == AudioScope::input ? at(device).inputs : at(device).outputs;
}

void FakeAudioSystem::setDefaultOutputDevice(AudioDeviceID device) {
    at(device);
    if (refuseSwitch) {
        throw CAError::status("setDefaultOutputDevice", -1);
    }
    ++switches;
    defaultOutput = device;
}

std::optional<std::filesystem::path> FakeLauncher::find(const std::string& program) {
    if (program == "pavucontrol") {
        return std::filesystem::path("/usr/bin/pavucontrol");
    }
    return std::nullopt;
}

void FakeLauncher::startDetached(const std::filesystem::path& executable, const std::vector<std::string>& arguments) {
    std::string line = executable.filename().string();
    for (const auto& argument : arguments) {
        line += " " + argument;
    }
    started.push_back(line);
}

void FakeRecording::refreshDeviceInfo() {
    ++refreshes;
    DeviceInfo info = nextDeviceInfo;
    if (settings != nullptr && settings->preferredInputDeviceUID().value()) {
        info.inputName = "選んだ " + *settings->preferredInputDeviceUID().value();
    }
    deviceInfo_.set(info);
}

void FakeRecording::toggleRecording() {
    ++toggles;
    if (phase_.value().isRecording()) {
        phase_.set(RecordingPhase::idle());
        pending_.set(pending_.value() + 1);
    } else {
        phase_.set(RecordingPhase::idle());
        elapsed_.set(0);
        phase_.set(RecordingPhase::recording());
    }
}

void FakeAccess::signIn(std::function<void(std::exception_ptr)> completion) {
    ++signIns;
    pendingSignIn = std::move(completion);
}

void FakeAccess::finishSignIn(std::exception_ptr error) {
    auto completion = std::exchange(pendingSignIn, nullptr);
    if (completion) {
        completion(error);
    }
}

PanelWorld::PanelWorld() : settings(std::make_shared<DefaultsStore>()) {
    microphone = audio.add({"mic-uid", "内蔵マイク", 1, 0, TransportType::builtIn});
    speakers = audio.add({"speaker-uid", "内蔵スピーカー", 0, 2, TransportType::builtIn});
    headphones = audio.add({"phones-uid", "USB ヘッドホン", 0, 2, 0});
    audio.defaultOutput = headphones;
    permissions = std::make_unique<Permissions>(audio, launcher, std::filesystem::path("/nonexistent/permission.log"));
    recording.settings = &settings;
    recording.nextDeviceInfo.inputName = "内蔵マイク";
    recording.nextDeviceInfo.outputName = "USB ヘッドホン";
    recording.nextDeviceInfo.inputSampleRate = 48000;
    access.signedIn_.set(true);
    access.phase_.set(ModelSetupPhase::ready());
}

app::PanelModel::Dependencies PanelWorld::dependencies() {
    return {recording, access, settings, updates, *permissions, audio, shell};
}

std::unique_ptr<app::PanelModel> PanelWorld::makeModel() {
    return std::make_unique<app::PanelModel>(dependencies());
}

} // namespace paneltest
