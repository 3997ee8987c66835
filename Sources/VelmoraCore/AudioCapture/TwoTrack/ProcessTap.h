#pragma once
// A live tap on what the computer plays. It exists until destroyed; a capture device built over it
// reads it.

#include "VelmoraCore/AudioCapture/TwoTrack/TapFormat.h"

#include <string>

namespace velmora {

class ProcessTap {
public:
    virtual ~ProcessTap() = default;
    /// The tap's own UID. Throws CAError when the system cannot tell it.
    virtual std::string uid() = 0;
    /// The format the tap delivers in. Throws CAError::status naming the failed read.
    virtual TapFormat format() = 0;
};

} // namespace velmora
