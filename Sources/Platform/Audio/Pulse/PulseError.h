#pragma once
// A failed call into the sound server's client library: which call failed, the library's error
// number and its own text for it. what() reads "<operation>: <library text>".

#include <stdexcept>
#include <string>

namespace audio {

class PulseError : public std::runtime_error {
public:
    /// `code` is the library's error number (PA_ERR_*); the text comes from the library.
    PulseError(std::string operation, int code);

    const std::string& operation() const { return operation_; }
    int code() const { return code_; }
    /// The library's description of `code` alone, without the operation.
    const std::string& libraryText() const { return libraryText_; }

private:
    std::string operation_;
    int code_;
    std::string libraryText_;
};

} // namespace audio
