#pragma once
// An audio system the test describes device by device; a property left empty cannot be read (its
// read throws CAError), and the device list itself can be made to fail.

#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct FakeAudioDevice {
    velmora::AudioDeviceID id = 0;
    std::optional<std::string> uid;
    std::optional<std::string> name;
    std::optional<double> sampleRate;
    std::optional<uint32_t> transportType;
    int inputChannels = 0;
    int outputChannels = 0;
};

class FakeAudioSystem : public velmora::AudioSystem {
public:
    std::vector<FakeAudioDevice> devices;
    bool deviceListFails = false;
    std::optional<velmora::AudioDeviceID> defaultInput;
    std::optional<velmora::AudioDeviceID> defaultOutput;
    bool systemAudioRecordable = true;

    std::vector<velmora::AudioDeviceID> allDevices() override;
    velmora::AudioDeviceID defaultOutputDevice() override;
    velmora::AudioDeviceID defaultInputDevice() override;
    std::string deviceUID(velmora::AudioDeviceID device) override;
    std::string deviceName(velmora::AudioDeviceID device) override;
    double nominalSampleRate(velmora::AudioDeviceID device) override;
    uint32_t transportType(velmora::AudioDeviceID device) override;
    int channelCount(velmora::AudioDeviceID device, velmora::AudioScope scope) override;
    void setDefaultOutputDevice(velmora::AudioDeviceID device) override;
    bool canRecordSystemAudio() override { return systemAudioRecordable; }

private:
    const FakeAudioDevice& find(velmora::AudioDeviceID device) const;
};

} // namespace testsupport
