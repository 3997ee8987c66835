#pragma once
// A screen-saver service on the test's session bus: owns org.freedesktop.ScreenSaver on a connection of
// its own, served by its own thread, answers Inhibit with a fresh cookie and UnInhibit, and records
// every call in order.

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

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
    ~FakeScreenSaverService();
    FakeScreenSaverService(const FakeScreenSaverService&) = delete;
    FakeScreenSaverService& operator=(const FakeScreenSaverService&) = delete;

    bool owns() const { return owns_; }
    std::vector<Call> calls() const;
    /// Cookies handed out and not given back.
    std::vector<uint32_t> heldCookies() const;

    // For the bus's callbacks.
    uint32_t inhibit(const std::string& applicationName, const std::string& reason);
    void unInhibit(uint32_t cookie);

private:
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    unsigned registration_ = 0;
    bool owns_ = false;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::vector<uint32_t> held_;
    uint32_t nextCookie_ = 41;
};

} // namespace testsupport
