#include "OrvaneCore/External/Hub/Network/HubNetworkMonitor.h"

namespace orvane {

HubNetworkMonitor::HubNetworkMonitor() {
    startMonitoring();
}

HubNetworkMonitor& HubNetworkMonitor::shared() {
    static HubNetworkMonitor* monitor = new HubNetworkMonitor(); // reports may arrive until exit
    return *monitor;
}

void HubNetworkMonitor::startMonitoring() {
    monitor_.setHandler([this](const net::NetworkPath& path) { state_.update(path); });
    monitor_.start();
}

} // namespace orvane
