#pragma once
// Captures from the sound server's sources, over the shared context.

#include "Platform/Audio/Capture/CaptureSource.h"

namespace audio {

class PulseCaptureSource : public CaptureSource {
public:
    /// The server's non-monitor sources in its order; throws PulseError when it does not answer.
    std::vector<InputDevice> inputDevices() override;
    /// True when the server answers; never throws.
    bool canRecord() override;
    std::unique_ptr<CaptureStream> makeStream(std::optional<std::string> deviceName, CaptureFormat format,
                                              CaptureStream::BlockHandler handler) override;
};

} // namespace audio
