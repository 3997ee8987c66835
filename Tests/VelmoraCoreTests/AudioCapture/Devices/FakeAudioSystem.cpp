#include "FakeAudioSystem.h"

#include "VelmoraCore/AudioCapture/Devices/CAError.h"

namespace testsupport {

using velmora::AudioDeviceID;
using velmora::CAError;

namespace {

template <typename T> T readable(const std::optional<T>& value, const char* what) {
    if (!value) {
        throw CAError::status(std::string("fake ") + what, -1);
    }
    return *value;
}

} // namespace

std::vector<AudioDeviceID> FakeAudioSystem::allDevices() {
    if (deviceListFails) {
        throw CAError::status("fake devices", -1);
    }
    std::vector<AudioDeviceID> ids;
    for (const auto& device : devices) {
        ids.push_back(device.id);
    }
    return ids;
}

AudioDeviceID FakeAudioSystem::defaultOutputDevice() {
    return readable(defaultOutput, "default output");
}

AudioDeviceID FakeAudioSystem::defaultInputDevice() {
    return readable(defaultInput, "default input");
}

const FakeAudioDevice& FakeAudioSystem::find(AudioDeviceID id) const {
    for (const auto& device : devices) {
        if (device.id == id) {
            return device;
        }
    }
    throw CAError::status("fake device", -2);
}

std::string FakeAudioSystem::deviceUID(AudioDeviceID device) {
    return readable(find(device).uid, "uid");
}

std::string FakeAudioSystem::deviceName(AudioDeviceID device) {
    return readable(find(device).name, "name");
}

double FakeAudioSystem::nominalSampleRate(AudioDeviceID device) {
    return readable(find(device).sampleRate, "rate");
}

uint32_t FakeAudioSystem::transportType(AudioDeviceID device) {
    return readable(find(device).transportType, "transport");
}

int FakeAudioSystem::channelCount(AudioDeviceID device, velmora::AudioScope scope) {
    const auto& found = find(device);
    return scope == velmora::AudioScope::input ? found.inputChannels : found.outputChannels;
}

void FakeAudioSystem::setDefaultOutputDevice(AudioDeviceID device) {
    find(device);
    defaultOutput = device;
}

} // namespace testsupport
