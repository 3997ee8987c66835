#pragma once
// What a capture says when its sound-server stream ends by itself in the middle of a recording: which
// track, and the server's reason.

#include "VelmoraCore/AudioCapture/Devices/CAError.h"

#include <string>

namespace audio {
class PulseError;
}

namespace velmora {

/// CAError::message("<subject> の録音が途中で止まりました: <call> failed — OSStatus <n> (<reason>)"),
/// e.g. subject "マイク headset_mic".
CAError streamEndedError(const std::string& subject, const audio::PulseError& error);

} // namespace velmora
