#include "Platform/Net/UrlError.h"

namespace net {

UrlError::UrlError(Code code, std::string detail)
    : std::runtime_error(description(code)), code_(code), detail_(std::move(detail)) {}

std::string UrlError::description(Code code) {
    // The platform's own wording, since callers put these texts into their messages.
    switch (code) {
    case Code::cancelled:
        return "cancelled";
    case Code::timedOut:
        return "The request timed out.";
    case Code::cannotFindHost:
        return "A server with the specified hostname could not be found.";
    case Code::cannotConnectToHost:
        return "Could not connect to the server.";
    case Code::networkConnectionLost:
        return "The network connection was lost.";
    case Code::notConnectedToInternet:
        return "The Internet connection appears to be offline.";
    case Code::resourceUnavailable:
        return "The requested resource couldn\u2019t be loaded.";
    case Code::secureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case Code::httpTooManyRedirects:
        return "too many HTTP redirects";
    case Code::unsupportedURL:
        return "unsupported URL";
    case Code::unknown:
        break;
    }
    return "An unknown error occurred.";
}

} // namespace net
