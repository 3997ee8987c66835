#include "Platform/Net/NetworkPath.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace net {

namespace {

bool isUsableAddress(const sockaddr* address) {
    if (address == nullptr) {
        return false;
    }
    if (address->sa_family == AF_INET) {
        return true;
    }
    if (address->sa_family == AF_INET6) {
        // A link-local address alone reaches no server beyond the local link.
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return !IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr);
    }
    return false;
}

} // namespace

NetworkPath NetworkPath::current() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return NetworkPath{}; // cannot tell: assume usable, as before any report
    }
    bool satisfied = false;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        unsigned flags = entry->ifa_flags;
        if ((flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0 && (flags & IFF_LOOPBACK) == 0 &&
            isUsableAddress(entry->ifa_addr)) {
            satisfied = true;
            break;
        }
    }
    freeifaddrs(list);
    return NetworkPath{satisfied, false, false};
}

} // namespace net
