#pragma once
// A screen-saver service on the test's session bus (org.freedesktop.ScreenSaver): answers Inhibit with
// a fresh cookie and UnInhibit, and records every call in order.

#include "Support/Desktop/FakeBusService.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class FakeScreenSaverService {
public:
    struct Call {
        /// "Inhibit" or "UnInhibit".
        std::string method;
        /// Inhibit's application name and reason; empty for UnInhibit.
        std::string applicationName;
        std::string reason;
        /// The cookie Inhibit answered, or the one UnInhibit gave back.
        uint32_t cookie = 0;
    };

    /// Connects to the bus at `address` and owns the name; `owns()` says whether that worked.
    explicit FakeScreenSaverService(const std::string& address);

    bool owns() const { return service_->owns(); }
    std::vector<Call> calls() const;
    /// Cookies handed out and not given back.
    std::vector<uint32_t> heldCookies() const;

private:
    GVariant* answer(const std::string& method, GVariant* parameters);

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::vector<uint32_t> held_;
    uint32_t nextCookie_ = 41;
    // Last, so it stops answering before the records go.
    std::unique_ptr<FakeBusService> service_;
};

} // namespace testsupport
