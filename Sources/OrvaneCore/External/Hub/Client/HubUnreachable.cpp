#include "OrvaneCore/External/Hub/Client/HubUnreachable.h"

namespace orvane {

namespace {

bool meansUnreachable(net::UrlError::Code code) {
    using Code = net::UrlError::Code;
    switch (code) {
    case Code::timedOut:
    case Code::cannotFindHost:
    case Code::cannotConnectToHost:
    case Code::networkConnectionLost:
    case Code::notConnectedToInternet:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<net::UrlError::Code> hubUnreachableCode(const std::exception_ptr& error) {
    if (!error) {
        return std::nullopt;
    }
    try {
        std::rethrow_exception(error);
    } catch (const Hub::HubClientError& hubError) {
        if (auto code = hubError.urlErrorCode(); code && meansUnreachable(*code)) {
            return code;
        }
    } catch (const net::UrlError& urlError) {
        if (meansUnreachable(urlError.code())) {
            return urlError.code();
        }
    } catch (...) {
    }
    return std::nullopt;
}

Hub::HubClientError unreachableWithoutStandIn(net::UrlError::Code code, const std::string& copy,
                                              const std::string& gap) {
    return Hub::HubClientError::networkError(code, "The hub cannot be reached (" +
                                                       net::UrlError::description(code) + "), and " + copy +
                                                       " cannot stand in: " + gap);
}

} // namespace orvane
