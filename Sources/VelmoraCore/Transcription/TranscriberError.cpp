#include "VelmoraCore/Transcription/TranscriberError.h"

namespace velmora {

TranscriberError::TranscriberError(std::string message) : AppError("message", std::move(message)) {}

std::string TranscriberError::textualForm() const {
    return message();
}

} // namespace velmora
