#include "Platform/Audio/Files/AudioFileError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace audio {

namespace {
std::string compose(const std::string& operation, const std::string& path, const std::string& reason) {
    std::string text = operation;
    if (!path.empty()) {
        text += " " + path;
    }
    return text + ": " + reason;
}
} // namespace

AudioFileError::AudioFileError(const std::string& operation, const std::string& path,
                               const std::string& reason)
    : std::runtime_error(compose(operation, path, reason)), operation_(operation), path_(path),
      reason_(reason) {}

AudioFileError::AudioFileError(const std::string& operation, const std::string& path, int libraryCode,
                               const std::string& cause)
    : AudioFileError(operation, path,
                     cause.empty() ? libraryMessage(libraryCode)
                                   : cause + " (" + libraryMessage(libraryCode) + ")") {
    libraryCode_ = libraryCode;
}

std::string AudioFileError::libraryMessage(int libraryCode) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(libraryCode, text, sizeof text) < 0) {
        return "error " + std::to_string(libraryCode);
    }
    return text;
}

} // namespace audio
