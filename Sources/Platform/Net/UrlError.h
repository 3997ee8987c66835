#pragma once
// The one error type of the HTTP layer: why an exchange failed before an HTTP answer could be read
// whole. Status codes are not errors here; callers decide what a status means.

#include <stdexcept>
#include <string>

namespace net {

class UrlError : public std::runtime_error {
public:
    enum class Code {
        cancelled,
        timedOut,
        cannotFindHost,
        cannotConnectToHost,
        networkConnectionLost,
        notConnectedToInternet,
        /// The resource could not be had for now (never produced by the transfers themselves).
        resourceUnavailable,
        secureConnectionFailed,
        httpTooManyRedirects,
        unsupportedURL,
        unknown,
    };

    /// `detail` is the transport's own explanation, kept for diagnostics; what() is the description.
    explicit UrlError(Code code, std::string detail = "");

    Code code() const { return code_; }
    const std::string& detail() const { return detail_; }

    /// The readable description of a code ("The request timed out.", "cancelled", ...).
    static std::string description(Code code);

private:
    Code code_;
    std::string detail_;
};

} // namespace net
