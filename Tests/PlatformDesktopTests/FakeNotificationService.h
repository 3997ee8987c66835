#pragma once
// A notification service on the test's session bus: owns org.freedesktop.Notifications on a connection
// of its own, served by its own thread, answers GetServerInformation, GetCapabilities and Notify, and
// records every Notify call.

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

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
    ~FakeNotificationService();
    FakeNotificationService(const FakeNotificationService&) = delete;
    FakeNotificationService& operator=(const FakeNotificationService&) = delete;

    bool owns() const { return owns_; }
    std::vector<Call> calls() const;

    // For the bus's callbacks.
    void record(Call call);

private:
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    unsigned registration_ = 0;
    bool owns_ = false;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

} // namespace testsupport
