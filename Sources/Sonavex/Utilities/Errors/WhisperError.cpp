#include "Sonavex/Utilities/Errors/WhisperError.h"

#include "OrvaneCore/Logging/Logging.h"

namespace sonavex {

WhisperError::WhisperError(Kind kind, std::string message)
    : std::runtime_error(message), kind_(kind), message_(std::move(message)) {}

WhisperError WhisperError::tokenizerUnavailable(std::string message) {
    return {Kind::tokenizerUnavailable, std::move(message)};
}
WhisperError WhisperError::modelsUnavailable(std::string message) {
    return {Kind::modelsUnavailable, std::move(message)};
}
WhisperError WhisperError::audioProcessingFailed(std::string message) {
    return {Kind::audioProcessingFailed, std::move(message)};
}
WhisperError WhisperError::decodingLogitsFailed(std::string message) {
    return {Kind::decodingLogitsFailed, std::move(message)};
}
WhisperError WhisperError::segmentingFailed(std::string message) {
    return {Kind::segmentingFailed, std::move(message)};
}
WhisperError WhisperError::loadAudioFailed(std::string message) {
    return {Kind::loadAudioFailed, std::move(message)};
}
WhisperError WhisperError::prepareDecoderInputsFailed(std::string message) {
    return {Kind::prepareDecoderInputsFailed, std::move(message)};
}
WhisperError WhisperError::transcriptionFailed(std::string message) {
    return {Kind::transcriptionFailed, std::move(message)};
}
WhisperError WhisperError::decodingFailed(std::string message) {
    return {Kind::decodingFailed, std::move(message)};
}
WhisperError WhisperError::microphoneUnavailable(std::string message) {
    return {Kind::microphoneUnavailable, std::move(message)};
}
WhisperError WhisperError::initializationError(std::string message) {
    return {Kind::initializationError, std::move(message)};
}

std::string_view WhisperError::caseName(Kind kind) {
    switch (kind) {
    case Kind::tokenizerUnavailable:
        return "tokenizerUnavailable";
    case Kind::modelsUnavailable:
        return "modelsUnavailable";
    case Kind::audioProcessingFailed:
        return "audioProcessingFailed";
    case Kind::decodingLogitsFailed:
        return "decodingLogitsFailed";
    case Kind::segmentingFailed:
        return "segmentingFailed";
    case Kind::loadAudioFailed:
        return "loadAudioFailed";
    case Kind::prepareDecoderInputsFailed:
        return "prepareDecoderInputsFailed";
    case Kind::transcriptionFailed:
        return "transcriptionFailed";
    case Kind::decodingFailed:
        return "decodingFailed";
    case Kind::microphoneUnavailable:
        return "microphoneUnavailable";
    case Kind::initializationError:
        return "initializationError";
    }
    return "unknown";
}

std::string WhisperError::errorDescription() const {
    orvane::Logging::error(message_);
    return message_;
}

} // namespace sonavex
