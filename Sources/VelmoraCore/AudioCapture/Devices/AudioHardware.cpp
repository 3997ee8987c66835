#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"

#include "OrvaneCore/Text/Normalization.h"

#include <algorithm>
#include <unordered_set>

namespace velmora {

AudioDeviceID defaultOutputDevice(AudioSystem& system) {
    return system.defaultOutputDevice();
}

AudioDeviceID defaultInputDevice(AudioSystem& system) {
    return system.defaultInputDevice();
}

std::vector<AudioDeviceID> allAudioDevices(AudioSystem& system) {
    return system.allDevices();
}

std::string deviceUID(AudioDeviceID device, AudioSystem& system) {
    return system.deviceUID(device);
}

std::string deviceName(AudioDeviceID device, AudioSystem& system) {
    return system.deviceName(device);
}

double deviceNominalSampleRate(AudioDeviceID device, AudioSystem& system) {
    return system.nominalSampleRate(device);
}

uint32_t deviceTransportType(AudioDeviceID device, AudioSystem& system) {
    return system.transportType(device);
}

int channelCount(AudioDeviceID device, AudioScope scope, AudioSystem& system) {
    return system.channelCount(device, scope);
}

int inputChannelCount(AudioDeviceID device, AudioSystem& system) {
    return channelCount(device, AudioScope::input, system);
}

int outputChannelCount(AudioDeviceID device, AudioSystem& system) {
    return channelCount(device, AudioScope::output, system);
}

std::optional<AudioDeviceID> builtInInputDevice(AudioSystem& system) {
    std::vector<AudioDeviceID> devices;
    try {
        devices = system.allDevices();
    } catch (const std::exception&) {
        return std::nullopt;
    }
    for (AudioDeviceID device : devices) {
        try {
            if (system.transportType(device) == TransportType::builtIn &&
                inputChannelCount(device, system) > 0) {
                return device;
            }
        } catch (const std::exception&) {
            // A device that does not answer is not the built-in microphone.
        }
    }
    return std::nullopt;
}

namespace {

std::vector<AudioDeviceOption> deviceOptions(AudioScope scope, AudioSystem& system) {
    std::vector<AudioDeviceID> devices;
    try {
        devices = system.allDevices();
    } catch (const std::exception&) {
        return {};
    }
    std::unordered_set<std::string> takenUIDs;
    std::vector<AudioDeviceOption> options;
    for (AudioDeviceID device : devices) {
        AudioDeviceOption option;
        try {
            if (system.channelCount(device, scope) < 1) {
                continue;
            }
            option.id = system.deviceUID(device);
            option.name = system.deviceName(device);
        } catch (const std::exception&) {
            continue;
        }
        if (!takenUIDs.insert(orvane::text::canonicalKey(option.id)).second) {
            continue;
        }
        try {
            option.transportType = system.transportType(device);
        } catch (const std::exception&) {
            option.transportType = TransportType::unknown;
        }
        options.push_back(std::move(option));
    }
    // Code-point order of the NFC forms is the byte order of their UTF-8.
    std::vector<std::pair<std::string, AudioDeviceOption>> keyed;
    keyed.reserve(options.size());
    for (auto& option : options) {
        keyed.emplace_back(orvane::text::canonicalKey(option.name), std::move(option));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    options.clear();
    for (auto& entry : keyed) {
        options.push_back(std::move(entry.second));
    }
    return options;
}

} // namespace

std::vector<AudioDeviceOption> inputDeviceOptions(AudioSystem& system) {
    return deviceOptions(AudioScope::input, system);
}

std::vector<AudioDeviceOption> outputDeviceOptions(AudioSystem& system) {
    return deviceOptions(AudioScope::output, system);
}

std::optional<AudioDeviceID> deviceWithUID(const std::string& uid, AudioSystem& system) {
    std::vector<AudioDeviceID> devices;
    try {
        devices = system.allDevices();
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const std::string wanted = orvane::text::canonicalKey(uid);
    for (AudioDeviceID device : devices) {
        try {
            if (orvane::text::canonicalKey(system.deviceUID(device)) == wanted) {
                return device;
            }
        } catch (const std::exception&) {
            // An unreadable UID matches nothing.
        }
    }
    return std::nullopt;
}

void setDefaultOutputDevice(AudioDeviceID device, AudioSystem& system) {
    system.setDefaultOutputDevice(device);
}

} // namespace velmora
