#pragma once
// The redirect rule of the hub client's HEAD probes: follow a redirect only when it stays on the same
// server, given as a location without a host; otherwise stop, so the caller reads the redirect answer's
// own headers (where the file really lives, its etag, its size).

#include "Platform/Net/HttpRequest.h"
#include "Platform/Net/HttpResponse.h"

#include <optional>

namespace orvane {

struct RedirectDelegate {
    /// The request to follow `redirect` with, or nothing to stop at it. A followed request goes to the
    /// location's path and query on `original`'s scheme, host and port, keeps `original`'s method (a
    /// probe stays a HEAD, never fetching the file) and every header field, adds "Location" with the new
    /// address in full, and may stay idle for 60 seconds.
    static std::optional<net::HttpRequest> decide(const net::HttpResponse& redirect,
                                                  const net::HttpRequest& original);
};

} // namespace orvane
