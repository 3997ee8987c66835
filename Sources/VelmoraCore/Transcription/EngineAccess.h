#pragma once
// Which engine transcribers are built with and which model hub they download from.

#include "Sonavex/Core/Constants.h"
#include "VelmoraCore/Transcription/SpeechEngine.h"

#include <memory>
#include <string>

namespace velmora {

struct EngineAccess {
    std::shared_ptr<SpeechEngine> engine = defaultSpeechEngine();
    std::string endpoint = std::string(sonavex::Constants::defaultRemoteEndpoint);
};

} // namespace velmora
