#include "VelmoraCore/AudioCapture/Recording/StreamEndedError.h"

#include "Platform/Audio/Pulse/PulseError.h"

namespace velmora {

CAError streamEndedError(const std::string& subject, const audio::PulseError& error) {
    return CAError::message(subject + " の録音が途中で止まりました: " +
                            CAError::statusDescription(error.operation(), error.code()) + " (" +
                            error.libraryText() + ")");
}

} // namespace velmora
