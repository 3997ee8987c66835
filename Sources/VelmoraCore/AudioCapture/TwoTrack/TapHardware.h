#pragma once
// Where the recorder gets its tap and its capture device. The machine's is the sound server
// (PulseTapHardware); tests hand in their own.

#include "VelmoraCore/AudioCapture/TwoTrack/AggregateDescription.h"
#include "VelmoraCore/AudioCapture/TwoTrack/AggregateDevice.h"
#include "VelmoraCore/AudioCapture/TwoTrack/ProcessTap.h"
#include "VelmoraCore/AudioCapture/TwoTrack/TapDescription.h"

#include <memory>

namespace velmora {

class TapHardware {
public:
    virtual ~TapHardware() = default;

    /// The machine's sound server, shared by the process.
    static TapHardware& shared();

    /// Throws CAError::status with the system's status when the tap cannot be made.
    virtual std::unique_ptr<ProcessTap> createProcessTap(const TapDescription& description) = 0;
    /// Throws CAError::status("AudioHardwareCreateAggregateDevice", status) when the device cannot be made.
    virtual std::unique_ptr<AggregateDevice>
    createAggregateDevice(const AggregateDescription& description) = 0;
};

} // namespace velmora
