#include "OrvaneCore/External/Hub/Client/HubClientError.h"

namespace orvane::Hub {

HubClientError::HubClientError(Kind kind, std::string description, std::string payload, int statusCode,
                               std::filesystem::path fileURL)
    : std::runtime_error(std::move(description)), kind_(kind), payload_(std::move(payload)),
      statusCode_(statusCode), fileURL_(std::move(fileURL)) {}

HubClientError HubClientError::httpStatusCode(int code) {
    return {Kind::httpStatusCode, "HTTP error with status code: " + std::to_string(code), "", code};
}

HubClientError HubClientError::jsonSerialization(std::filesystem::path fileURL, std::string message) {
    // Described by its message alone.
    return {Kind::jsonSerialization, message, message, 0, std::move(fileURL)};
}

HubClientError HubClientError::downloadError(std::string text) {
    return {Kind::downloadError, "Download failed: " + text, text};
}

HubClientError HubClientError::downloadError(const net::UrlError& error) {
    HubClientError result = downloadError(std::string(error.what()));
    result.urlErrorCode_ = error.code();
    return result;
}

HubClientError HubClientError::fileNotFound(std::string text) {
    return {Kind::fileNotFound, "File not found: " + text, text};
}

HubClientError HubClientError::networkError(const net::UrlError& error) {
    HubClientError result = networkError(std::string(error.what()));
    result.urlErrorCode_ = error.code();
    return result;
}

HubClientError HubClientError::networkError(std::string description) {
    return {Kind::networkError, "Network error: " + description, description};
}

HubClientError HubClientError::networkError(net::UrlError::Code code, std::string description) {
    HubClientError result = networkError(std::move(description));
    result.urlErrorCode_ = code;
    return result;
}

HubClientError HubClientError::resourceNotFound(std::string text) {
    return {Kind::resourceNotFound, "Resource not found: " + text, text};
}

HubClientError HubClientError::configurationMissing(std::string fileName) {
    return {Kind::configurationMissing, "Required configuration file missing: " + fileName, fileName};
}

HubClientError HubClientError::fileSystemError(std::string description) {
    return {Kind::fileSystemError, "File system error: " + description, description};
}

HubClientError HubClientError::parseError(std::string text) {
    return {Kind::parseError, "Parse error: " + text, text};
}

HubClientError HubClientError::authorizationRequired() {
    return {Kind::authorizationRequired,
            "Authentication required. Please provide a valid Hugging Face token.", ""};
}

HubClientError HubClientError::parse() {
    return {Kind::parse, "Failed to parse server response.", ""};
}

HubClientError HubClientError::unexpectedError() {
    return {Kind::unexpectedError, "An unexpected error occurred.", ""};
}

} // namespace orvane::Hub
