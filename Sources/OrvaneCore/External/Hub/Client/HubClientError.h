#pragma once
// What the model hub and a transfer answered when a hub operation failed: an HTTP status, a missing
// authorisation or file, a network failure, a document that could not be read. what() is the English
// description of the case.

#include "Platform/Net/UrlError.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace orvane::Hub {

class HubClientError : public std::runtime_error {
public:
    enum class Kind {
        httpStatusCode,
        jsonSerialization,
        downloadError,
        fileNotFound,
        networkError,
        resourceNotFound,
        configurationMissing,
        fileSystemError,
        parseError,
        authorizationRequired,
        parse,
        unexpectedError,
    };

    static HubClientError httpStatusCode(int code);
    static HubClientError jsonSerialization(std::filesystem::path fileURL, std::string message);
    static HubClientError downloadError(std::string text);
    /// A transfer that failed in transport: described by the URL error, whose code it carries.
    static HubClientError downloadError(const net::UrlError& error);
    static HubClientError fileNotFound(std::string text);
    /// Carries the URL error's code and description.
    static HubClientError networkError(const net::UrlError& error);
    /// A network error known only by its description (no code).
    static HubClientError networkError(std::string description);
    /// A network error with the code of the URL error behind it and a description of its own.
    static HubClientError networkError(net::UrlError::Code code, std::string description);
    static HubClientError resourceNotFound(std::string text);
    static HubClientError configurationMissing(std::string fileName);
    /// `description` is the file-system error's own description.
    static HubClientError fileSystemError(std::string description);
    static HubClientError parseError(std::string text);
    static HubClientError authorizationRequired();
    static HubClientError parse();
    static HubClientError unexpectedError();

    Kind kind() const { return kind_; }
    /// The status of `httpStatusCode`; 0 for the other cases.
    int statusCode() const { return statusCode_; }
    /// The case's text payload (the message, the file name, the error's description); empty when none.
    const std::string& payload() const { return payload_; }
    /// The file of `jsonSerialization`.
    const std::filesystem::path& fileURL() const { return fileURL_; }
    /// The code of the URL error a `networkError` or `downloadError` carries, when it carries one.
    std::optional<net::UrlError::Code> urlErrorCode() const { return urlErrorCode_; }

private:
    HubClientError(Kind kind, std::string description, std::string payload, int statusCode = 0,
                   std::filesystem::path fileURL = {});

    Kind kind_;
    std::string payload_;
    int statusCode_ = 0;
    std::filesystem::path fileURL_;
    std::optional<net::UrlError::Code> urlErrorCode_;
};

} // namespace orvane::Hub
