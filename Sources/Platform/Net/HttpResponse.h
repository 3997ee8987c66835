#pragma once
// The head of an HTTP answer: status, header fields and the address that answered (after redirects).

#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/Url.h"

namespace net {

struct HttpResponse {
    int statusCode = 0;
    Url url;
    HttpHeaders headers;

    /// The header's value, whatever the case of its name.
    std::optional<std::string> value(std::string_view name) const { return headers.value(name); }
};

} // namespace net
