#include "OrvaneCore/External/Hub/Client/HubUnreachable.h"

#include "OrvaneCore/External/Hub/Client/HubClientError.h"
#include "Platform/Net/UrlError.h"

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

std::optional<std::string> hubUnreachableReason(const std::exception_ptr& error) {
    if (!error) {
        return std::nullopt;
    }
    try {
        std::rethrow_exception(error);
    } catch (const Hub::HubClientError& hubError) {
        if (auto code = hubError.urlErrorCode(); code && meansUnreachable(*code)) {
            return net::UrlError::description(*code);
        }
    } catch (const net::UrlError& urlError) {
        if (meansUnreachable(urlError.code())) {
            return std::string(urlError.what());
        }
    } catch (...) {
    }
    return std::nullopt;
}

} // namespace orvane
