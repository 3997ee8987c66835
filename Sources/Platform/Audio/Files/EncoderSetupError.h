#pragma once
// Thrown when an audio encoder or a container muxer cannot be set up (no such encoder, a rate or channel
// count it refuses, a muxer that will not start). Failures to reach or write the file itself are file
// errors, not this.

#include <stdexcept>
#include <string>

namespace audio {

class EncoderSetupError : public std::runtime_error {
public:
    explicit EncoderSetupError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace audio
