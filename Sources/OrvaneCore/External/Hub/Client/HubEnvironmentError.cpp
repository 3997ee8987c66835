#include "OrvaneCore/External/Hub/Client/HubEnvironmentError.h"

namespace orvane {

HubEnvironmentError::HubEnvironmentError(Kind kind, const std::string& prefix, std::string message)
    : std::runtime_error(prefix + message), kind_(kind), message_(std::move(message)) {}

HubEnvironmentError HubEnvironmentError::invalidMetadataError(std::string message) {
    return {Kind::invalidMetadataError, "Invalid metadata: ", std::move(message)};
}

HubEnvironmentError HubEnvironmentError::offlineModeError(std::string message) {
    return {Kind::offlineModeError, "Offline mode error: ", std::move(message)};
}

HubEnvironmentError HubEnvironmentError::fileIntegrityError(std::string message) {
    return {Kind::fileIntegrityError, "File integrity check failed: ", std::move(message)};
}

HubEnvironmentError HubEnvironmentError::fileWriteError(std::string message) {
    return {Kind::fileWriteError, "Failed to write file: ", std::move(message)};
}

} // namespace orvane
