#pragma once
// What is wrong with the local mirror when a hub operation fails: damaged download metadata, a
// repository that offline mode cannot serve, a file whose content no longer matches, a write that
// failed. Known to callers as HubApi::EnvironmentError; what() is "<prefix>: <message>".

#include <stdexcept>
#include <string>

namespace orvane {

class HubEnvironmentError : public std::runtime_error {
public:
    enum class Kind { invalidMetadataError, offlineModeError, fileIntegrityError, fileWriteError };

    static HubEnvironmentError invalidMetadataError(std::string message);
    static HubEnvironmentError offlineModeError(std::string message);
    static HubEnvironmentError fileIntegrityError(std::string message);
    static HubEnvironmentError fileWriteError(std::string message);

    Kind kind() const { return kind_; }
    const std::string& message() const { return message_; }

private:
    HubEnvironmentError(Kind kind, const std::string& prefix, std::string message);

    Kind kind_;
    std::string message_;
};

} // namespace orvane
