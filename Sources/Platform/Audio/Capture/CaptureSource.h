#pragma once
// Where captures come from: the machine's input devices and streams on them. The sound server's
// implementation is PulseCaptureSource; tests use FakeCaptureSource.

#include "Platform/Audio/Capture/CaptureFormat.h"
#include "Platform/Audio/Capture/CaptureStream.h"
#include "Platform/Audio/Capture/InputDevice.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace audio {

class CaptureSource {
public:
    virtual ~CaptureSource() = default;

    /// The input devices now present, monitors of outputs left out. Throws when they cannot be read.
    virtual std::vector<InputDevice> inputDevices() = 0;
    /// True when recording is possible at all: the sound server answers.
    virtual bool canRecord() = 0;
    /// A capture (not yet started) from the named device, or from the default input when none is named.
    virtual std::unique_ptr<CaptureStream> makeStream(std::optional<std::string> deviceName,
                                                      CaptureFormat format,
                                                      CaptureStream::BlockHandler handler) = 0;
};

} // namespace audio
