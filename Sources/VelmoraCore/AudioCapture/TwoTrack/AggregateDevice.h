#pragma once
// The private capture device over the output device, the microphone and the tap: it hands its input
// to one handler, one delivery at a time, in order, on one serial thread of its own.

#include "VelmoraCore/AudioCapture/TwoTrack/InputBufferList.h"

#include <exception>
#include <functional>

namespace velmora {

class AggregateDevice {
public:
    using InputHandler = std::function<void(InputBufferList buffers)>;

    virtual ~AggregateDevice() = default;
    /// All its input channels. Throws CAError.
    virtual int inputChannelCount() = 0;
    /// Its nominal rate in Hz. Throws CAError.
    virtual double nominalSampleRate() = 0;
    /// Starts handing deliveries to `handler`. Throws CAError::status naming the failed call.
    virtual void start(InputHandler handler) = 0;
    /// Stops: no handler runs or begins after it returns. Idempotent; never fails.
    virtual void stop() = 0;
    /// True while every member delivers. Never throws.
    virtual bool isRunning() = 0;
    /// Why a member stopped delivering by itself (its stream ended: the sound server or the input
    /// went), as a CAError naming the member and the reason; null while every member delivers.
    virtual std::exception_ptr endError() = 0;
};

} // namespace velmora
