#pragma once
// The last network path the monitor reported, and the offline decision drawn from it. Known to
// callers as HubApi::NetworkStateActor. Thread-safe.

#include "Platform/Net/NetworkPath.h"

#include <mutex>

namespace orvane {

class HubNetworkStateActor {
public:
    /// Records a reported path.
    void update(const net::NetworkPath& path);

    /// False when CI_DISABLE_NETWORK_MONITOR is exactly "1" (read afresh each time); otherwise true
    /// exactly when the last reported path was not satisfied. Connected until the first report.
    bool shouldUseOfflineMode() const;

    bool isConnected() const;
    bool isExpensive() const;
    bool isConstrained() const;

private:
    mutable std::mutex lock_;
    bool isConnected_ = true;
    bool isExpensive_ = false;
    bool isConstrained_ = false;
};

} // namespace orvane
