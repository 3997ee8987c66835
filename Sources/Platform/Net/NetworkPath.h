#pragma once
// What the machine's network looks like right now, as far as reaching a server is concerned.

namespace net {

struct NetworkPath {
    /// Some interface that is up, running and not the loopback has an address.
    bool satisfied = true;
    /// This platform has no notion of metered or low-data links: these stay false.
    bool expensive = false;
    bool constrained = false;

    bool operator==(const NetworkPath&) const = default;

    /// Reads the interfaces now (getifaddrs).
    static NetworkPath current();
};

} // namespace net
