#include "Platform/Audio/Pulse/PulseError.h"

#include <pulse/error.h>

namespace audio {

namespace {

std::string textFor(int code) {
    const char* text = pa_strerror(code);
    return text != nullptr ? text : "Unknown error code";
}

} // namespace

PulseError::PulseError(std::string operation, int code)
    : std::runtime_error(operation + ": " + textFor(code)), operation_(std::move(operation)), code_(code),
      libraryText_(textFor(code)) {}

} // namespace audio
