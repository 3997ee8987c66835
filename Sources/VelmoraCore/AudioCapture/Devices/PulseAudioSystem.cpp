#include "VelmoraCore/AudioCapture/Devices/PulseAudioSystem.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Platform/Audio/Pulse/PulseServerQueries.h"
#include "Platform/Audio/Pulse/PulseRecordStream.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Devices/PulseTransportType.h"

#include <pulse/def.h>

namespace velmora {

namespace {

using audio::PulseContext;
using audio::PulseDevice;

// Runs one conversation with the server, turning the library's errors into the hardware error.
template <typename Call> auto onServer(Call call) {
    try {
        return call(*PulseContext::shared());
    } catch (const audio::PulseError& error) {
        throw CAError::status(error.operation(), error.code());
    }
}

CAError noDefault() {
    return CAError::status("pa_context_get_server_info", PA_ERR_NOENTITY);
}

} // namespace

AudioSystem& AudioSystem::shared() {
    static PulseAudioSystem system;
    return system;
}

std::vector<AudioDeviceID> PulseAudioSystem::allDevices() {
    return onServer([](PulseContext& context) {
        std::vector<AudioDeviceID> devices;
        for (const auto& sink : audio::listSinks(context)) {
            devices.push_back(sink.index);
        }
        for (const auto& source : audio::listSources(context)) {
            if (!source.isMonitor) {
                devices.push_back(source.index | sourceFlag);
            }
        }
        return devices;
    });
}

AudioDeviceID PulseAudioSystem::defaultOutputDevice() {
    return onServer([](PulseContext& context) {
        const std::string name = audio::readServerInfo(context).defaultSinkName;
        for (const auto& sink : audio::listSinks(context)) {
            if (!name.empty() && sink.name == name) {
                return AudioDeviceID(sink.index);
            }
        }
        throw noDefault();
    });
}

AudioDeviceID PulseAudioSystem::defaultInputDevice() {
    return onServer([](PulseContext& context) {
        const std::string name = audio::readServerInfo(context).defaultSourceName;
        for (const auto& source : audio::listSources(context)) {
            if (!name.empty() && source.name == name && !source.isMonitor) {
                return AudioDeviceID(source.index | sourceFlag);
            }
        }
        throw noDefault();
    });
}

PulseDevice PulseAudioSystem::read(AudioDeviceID device) {
    return onServer([device](PulseContext& context) {
        if ((device & sourceFlag) == 0) {
            return audio::readSink(context, device);
        }
        PulseDevice source = audio::readSource(context, device & ~sourceFlag);
        if (source.isMonitor) {
            throw audio::PulseError("pa_context_get_source_info_by_index", PA_ERR_NOENTITY);
        }
        return source;
    });
}

std::string PulseAudioSystem::deviceUID(AudioDeviceID device) {
    return read(device).name;
}

std::string PulseAudioSystem::deviceName(AudioDeviceID device) {
    return read(device).description;
}

double PulseAudioSystem::nominalSampleRate(AudioDeviceID device) {
    return read(device).sampleRate;
}

uint32_t PulseAudioSystem::transportType(AudioDeviceID device) {
    return pulseTransportType(read(device));
}

int PulseAudioSystem::channelCount(AudioDeviceID device, AudioScope scope) {
    const PulseDevice found = read(device);
    const bool isSink = found.kind == PulseDevice::Kind::sink;
    const bool wanted = scope == AudioScope::output ? isSink : !isSink;
    return wanted ? int(found.channels) : 0;
}

void PulseAudioSystem::setDefaultOutputDevice(AudioDeviceID device) {
    const PulseDevice sink = read(device);
    if (sink.kind != PulseDevice::Kind::sink) {
        throw CAError::status("pa_context_set_default_sink", PA_ERR_INVALID);
    }
    onServer([&](PulseContext& context) {
        audio::setDefaultSink(context, sink.name);
        return 0;
    });
}

bool PulseAudioSystem::canRecordSystemAudio() {
    try {
        auto context = PulseContext::shared();
        const std::string name = audio::readServerInfo(*context).defaultSinkName;
        for (const auto& sink : audio::listSinks(*context)) {
            if (!name.empty() && sink.name == name) {
                return audio::PulseRecordStream::canRecordFrom(context, sink.monitorSourceName);
            }
        }
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace velmora
