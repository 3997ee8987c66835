#pragma once
// The audio hardware on the sound server (PulseAudio, or PipeWire serving the same protocol). A device
// is a sink (output channels) or a source that is not a sink's monitor (input channels); monitors are
// never inputs. Sinks and sources have separate index spaces, so a source's id carries sourceFlag.
// UID = the server's name, name = its description, rate = its sample rate. A failed call becomes
// CAError::status with the library call's name and its error number.

#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"

namespace audio {
struct PulseDevice;
}

namespace velmora {

class PulseAudioSystem : public AudioSystem {
public:
    static constexpr AudioDeviceID sourceFlag = 0x8000'0000u;

    std::vector<AudioDeviceID> allDevices() override;
    /// The default sink.
    AudioDeviceID defaultOutputDevice() override;
    /// The default source; none (an error) when it is a monitor.
    AudioDeviceID defaultInputDevice() override;
    std::string deviceUID(AudioDeviceID device) override;
    std::string deviceName(AudioDeviceID device) override;
    double nominalSampleRate(AudioDeviceID device) override;
    uint32_t transportType(AudioDeviceID device) override;
    int channelCount(AudioDeviceID device, AudioScope scope) override;
    /// Sets the default sink.
    void setDefaultOutputDevice(AudioDeviceID device) override;
    /// True when the default sink's monitor can be opened for recording.
    bool canRecordSystemAudio() override;

private:
    audio::PulseDevice read(AudioDeviceID device);
};

} // namespace velmora
