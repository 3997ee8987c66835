#pragma once
// One HTTP request: method, address, header fields and how long the exchange may stay idle.

#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/Url.h"

#include <chrono>
#include <string>

namespace net {

struct HttpRequest {
    explicit HttpRequest(Url url, std::string method = "GET")
        : method(std::move(method)), url(std::move(url)) {}

    std::string method;
    Url url;
    HttpHeaders headers;
    /// The request fails with UrlError::Code::timedOut when no byte moves for this long (connecting
    /// included), as the platform's request time-out does; a slow but steady transfer is not cut off.
    std::chrono::milliseconds timeout{60'000};
};

} // namespace net
