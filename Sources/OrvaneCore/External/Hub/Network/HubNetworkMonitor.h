#pragma once
// Keeps a HubNetworkStateActor up to date from the machine's network path reports. Known to callers as
// HubApi::NetworkMonitor; the hub client asks the process-wide `shared()` instance before each
// snapshot whether to work offline.

#include "OrvaneCore/External/Hub/Network/HubNetworkStateActor.h"
#include "Platform/Net/PathMonitor.h"

namespace orvane {

class HubNetworkMonitor {
public:
    /// Starts watching at once; the state says connected until the first report arrives.
    HubNetworkMonitor();
    HubNetworkMonitor(const HubNetworkMonitor&) = delete;
    HubNetworkMonitor& operator=(const HubNetworkMonitor&) = delete;

    /// The one process-wide monitor, created on first use and never released.
    static HubNetworkMonitor& shared();

    /// Installs the report handler again and makes sure the watcher runs; harmless to repeat.
    void startMonitoring();

    HubNetworkStateActor& state() { return state_; }

    /// Feeds a path to the state as if the system had reported it (for tests).
    void injectPathForTesting(const net::NetworkPath& path) { monitor_.injectPathForTesting(path); }

private:
    HubNetworkStateActor state_;
    net::PathMonitor monitor_; // declared last: stops (and stops reporting) before the state goes
};

} // namespace orvane
