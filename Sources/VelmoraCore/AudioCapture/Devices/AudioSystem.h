#pragma once
// The audio hardware as the capture code sees it: devices with numeric ids, their readable properties,
// the system defaults and the one setting we change. Every call asks the system again; nothing is
// cached. PulseAudioSystem is the machine's; tests use a fake.
//
// Calls that can fail throw CAError (a failed call's name and status); any thread may call.

#include "VelmoraCore/AudioCapture/Devices/AudioScope.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

using AudioDeviceID = uint32_t;

class AudioSystem {
public:
    virtual ~AudioSystem() = default;

    /// The machine's sound server, shared by the process.
    static AudioSystem& shared();

    /// Every device, in the system's order.
    virtual std::vector<AudioDeviceID> allDevices() = 0;
    virtual AudioDeviceID defaultOutputDevice() = 0;
    virtual AudioDeviceID defaultInputDevice() = 0;

    virtual std::string deviceUID(AudioDeviceID device) = 0;
    virtual std::string deviceName(AudioDeviceID device) = 0;
    /// In Hz.
    virtual double nominalSampleRate(AudioDeviceID device) = 0;
    /// A four-character code (TransportType), 0 when the system cannot tell.
    virtual uint32_t transportType(AudioDeviceID device) = 0;
    /// The device's channels on that side; 0 when it has none there.
    virtual int channelCount(AudioDeviceID device, AudioScope scope) = 0;

    /// Makes the device the default output of every application.
    virtual void setDefaultOutputDevice(AudioDeviceID device) = 0;

    /// True when the sound the default output plays can be recorded now. Never throws.
    virtual bool canRecordSystemAudio() = 0;
};

} // namespace velmora
