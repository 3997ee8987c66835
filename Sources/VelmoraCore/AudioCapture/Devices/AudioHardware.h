#pragma once
// The audio-hardware helpers the recorders, the device pickers and the device description use. Each
// call asks the audio system again (AudioSystem::shared() unless a test passes its own); nothing
// here keeps state or takes a lock, so any thread may call.
//
// Functions that can fail throw CAError. The option lists, the built-in input lookup and the lookup
// by UID never fail: they swallow the errors of their steps and answer with absence instead.

#include "VelmoraCore/AudioCapture/Devices/AudioDeviceOption.h"
#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora {

AudioDeviceID defaultOutputDevice(AudioSystem& system = AudioSystem::shared());
AudioDeviceID defaultInputDevice(AudioSystem& system = AudioSystem::shared());
std::vector<AudioDeviceID> allAudioDevices(AudioSystem& system = AudioSystem::shared());

std::string deviceUID(AudioDeviceID device, AudioSystem& system = AudioSystem::shared());
std::string deviceName(AudioDeviceID device, AudioSystem& system = AudioSystem::shared());
double deviceNominalSampleRate(AudioDeviceID device, AudioSystem& system = AudioSystem::shared());
uint32_t deviceTransportType(AudioDeviceID device, AudioSystem& system = AudioSystem::shared());

int channelCount(AudioDeviceID device, AudioScope scope, AudioSystem& system = AudioSystem::shared());
int inputChannelCount(AudioDeviceID device, AudioSystem& system = AudioSystem::shared());
int outputChannelCount(AudioDeviceID device, AudioSystem& system = AudioSystem::shared());

/// The first built-in device, in system order, that has input channels.
std::optional<AudioDeviceID> builtInInputDevice(AudioSystem& system = AudioSystem::shared());

/// The devices with channels on that side whose UID and name can be read, the first of each UID only,
/// sorted by name (code points after NFC, stable).
std::vector<AudioDeviceOption> inputDeviceOptions(AudioSystem& system = AudioSystem::shared());
std::vector<AudioDeviceOption> outputDeviceOptions(AudioSystem& system = AudioSystem::shared());

/// The first device, in system order, whose UID equals `uid` (canonically equivalent).
std::optional<AudioDeviceID> deviceWithUID(const std::string& uid,
                                           AudioSystem& system = AudioSystem::shared());

void setDefaultOutputDevice(AudioDeviceID device, AudioSystem& system = AudioSystem::shared());

} // namespace velmora
