#include "Platform/Audio/Pulse/PulseCaptureSource.h"

#include "Platform/Audio/Pulse/PulseCaptureStream.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Platform/Audio/Pulse/PulseServerQueries.h"

namespace audio {

std::vector<InputDevice> PulseCaptureSource::inputDevices() {
    std::vector<InputDevice> devices;
    for (const auto& source : listSources(*PulseContext::shared())) {
        if (!source.isMonitor) {
            devices.push_back(InputDevice{source.index, source.name, source.description});
        }
    }
    return devices;
}

bool PulseCaptureSource::canRecord() {
    try {
        return PulseContext::shared() != nullptr;
    } catch (const PulseError&) {
        return false;
    }
}

std::unique_ptr<CaptureStream> PulseCaptureSource::makeStream(std::optional<std::string> deviceName,
                                                              CaptureFormat format,
                                                              CaptureStream::BlockHandler handler) {
    return std::make_unique<PulseCaptureStream>(std::move(deviceName), format, std::move(handler));
}

} // namespace audio
