#pragma once
// The tap and the capture device on the sound server. The tap records the default output's monitor
// (every application, none excluded; the user still hears everything) in the monitor's own format.
// The capture device opens a record stream on each input device among its members (the microphone;
// an output device has no inputs) at the leading output device's rate, and reads its taps' streams.
// Taps are found by UID while they exist.
//
// Any thread but the sound server's loop thread.

#include "VelmoraCore/AudioCapture/TwoTrack/TapHardware.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace velmora {

class PulseTapStream;

class PulseTapHardware : public TapHardware {
public:
    /// Status = the library's error number; a default output that is gone is PA_ERR_NOENTITY.
    std::unique_ptr<ProcessTap> createProcessTap(const TapDescription& description) override;
    /// A member or tap that does not exist is PA_ERR_NOENTITY; a tap at another rate than the leading
    /// output device, PA_ERR_NOTSUPPORTED.
    std::unique_ptr<AggregateDevice> createAggregateDevice(const AggregateDescription& description) override;

    /// Called by a tap as it goes.
    void forgetTap(const std::string& uid);

private:
    std::mutex lock_;
    std::map<std::string, std::weak_ptr<PulseTapStream>> taps_;
};

} // namespace velmora
