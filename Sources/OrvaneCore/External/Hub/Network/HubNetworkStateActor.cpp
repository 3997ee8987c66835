#include "OrvaneCore/External/Hub/Network/HubNetworkStateActor.h"

#include <cstdlib>
#include <cstring>

namespace orvane {

void HubNetworkStateActor::update(const net::NetworkPath& path) {
    std::lock_guard guard(lock_);
    isConnected_ = path.satisfied;
    isExpensive_ = path.expensive;
    isConstrained_ = path.constrained;
}

bool HubNetworkStateActor::shouldUseOfflineMode() const {
    const char* disabled = std::getenv("CI_DISABLE_NETWORK_MONITOR");
    if (disabled != nullptr && std::strcmp(disabled, "1") == 0) {
        return false;
    }
    std::lock_guard guard(lock_);
    return !isConnected_;
}

bool HubNetworkStateActor::isConnected() const {
    std::lock_guard guard(lock_);
    return isConnected_;
}

bool HubNetworkStateActor::isExpensive() const {
    std::lock_guard guard(lock_);
    return isExpensive_;
}

bool HubNetworkStateActor::isConstrained() const {
    std::lock_guard guard(lock_);
    return isConstrained_;
}

} // namespace orvane
