#include "OrvaneCore/External/Hub/Network/RedirectDelegate.h"

namespace orvane {

std::optional<net::HttpRequest> RedirectDelegate::decide(const net::HttpResponse& redirect,
                                                         const net::HttpRequest& original) {
    if (redirect.statusCode < 300 || redirect.statusCode > 399) {
        return std::nullopt;
    }
    auto text = redirect.value("Location");
    if (!text) {
        return std::nullopt;
    }
    auto location = net::Url::parse(*text);
    if (!location || location->hasHost()) {
        return std::nullopt;
    }
    // A path that is not absolute cannot stand after a host: no address comes out of it.
    if (!location->path().empty() && location->path().front() != '/') {
        return std::nullopt;
    }
    net::Url resolved = original.url.withPathAndQuery(location->path(), location->query());
    net::HttpRequest next(resolved, original.method);
    next.timeout = std::chrono::seconds(60);
    for (const auto& [name, value] : original.headers.fields()) {
        next.headers.add(name, value);
    }
    next.headers.set("Location", resolved.absoluteString());
    return next;
}

} // namespace orvane
