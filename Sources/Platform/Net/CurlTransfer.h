#pragma once
// One request/answer exchange through libcurl, on a multi handle borrowed from the connection cache,
// so a stop request or an idle time-out ends it at once. Internal to the HTTP layer: HttpSession
// builds redirect handling and body collection on top of it.

#include "Platform/Net/HttpRequest.h"
#include "Platform/Net/HttpResponse.h"

#include <functional>
#include <stop_token>
#include <string_view>

namespace net {

class CurlTransfer {
public:
    struct Hooks {
        /// Called once with the answer's head, before its body. Returning false drops the body.
        std::function<bool(const HttpResponse&)> onHead;
        std::function<void(std::string_view)> onData;
    };

    /// Throws UrlError for transport failures, or whatever a hook threw.
    static void run(const HttpRequest& request, bool followRedirects, int maxRedirects, const Hooks& hooks,
                    std::stop_token stop);
};

} // namespace net
