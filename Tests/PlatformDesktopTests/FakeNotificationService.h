#pragma once
// A notification service on the test's session bus (org.freedesktop.Notifications): answers
// GetServerInformation, GetCapabilities and Notify, and records every Notify call.

#include "Support/Desktop/FakeBusService.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class FakeNotificationService {
public:
    struct Call {
        std::string applicationName;
        std::string summary;
        std::string body;
        /// String-valued hints ("sound-name" and the like).
        std::map<std::string, std::string> hints;
    };

    /// Connects to the bus at `address` and owns the name; `owns()` says whether that worked.
    explicit FakeNotificationService(const std::string& address);

    bool owns() const { return service_->owns(); }
    std::vector<Call> calls() const;

    // For the bus's callbacks.
    void record(Call call);

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    // Last, so it stops answering before the records go.
    std::unique_ptr<FakeBusService> service_;
};

} // namespace testsupport
