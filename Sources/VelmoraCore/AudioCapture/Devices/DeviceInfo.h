#pragma once
// Which microphone a recording would use right now (after the Bluetooth rule), at which rate, and
// where the machine's sound goes: what the panel warns about before and around a recording.

#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"

#include <optional>
#include <string>

namespace velmora {

struct DeviceInfo {
    /// "不明" when there is no input or its name cannot be read.
    std::string inputName;
    /// "不明" when there is no default output or its name cannot be read.
    std::string outputName;
    bool outputIsBuiltInSpeaker = false;
    /// inputSampleRate above 0 and below 24000 Hz.
    bool inputSampleRateIsLow = false;
    /// Hz; 0 when there is no input or its rate cannot be read.
    double inputSampleRate = 0;
    /// The default input is Bluetooth and the built-in microphone was chosen in its place.
    bool inputWasRedirectedFromBluetooth = false;

    /// Chooses the input as the microphone recorder does: the preferred device when it exists, else
    /// the built-in microphone in place of a Bluetooth default, else the default. Never fails.
    static DeviceInfo current(const std::optional<std::string>& preferredInputUID,
                              AudioSystem& system = AudioSystem::shared());

    bool operator==(const DeviceInfo&) const = default;
};

} // namespace velmora
