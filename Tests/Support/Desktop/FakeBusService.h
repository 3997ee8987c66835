#pragma once
// A service of the test's own on the session bus: owns a well-known name on a connection of its own
// and answers the method calls on one object from a thread of its own (its own main context), so the
// code under test may call it synchronously from any thread.

#include <functional>
#include <string>
#include <thread>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _GVariant GVariant;

namespace testsupport {

class FakeBusService {
public:
    /// Gets each call (the method's name and its parameters tuple) on the service's thread and returns
    /// the reply: a tuple of the method's out arguments, or null for none.
    using Handler = std::function<GVariant*(const std::string& method, GVariant* parameters)>;

    /// Connects to the bus at `address`, serves `interfaceXml` (one interface) at `objectPath` and
    /// asks for `name`; owns() says whether it got it.
    FakeBusService(const std::string& address, const std::string& name, const std::string& objectPath,
                   const char* interfaceXml, Handler handler);
    ~FakeBusService();
    FakeBusService(const FakeBusService&) = delete;
    FakeBusService& operator=(const FakeBusService&) = delete;

    bool owns() const { return owns_; }
    /// For the bus's callbacks.
    GVariant* answer(const std::string& method, GVariant* parameters) { return handler_(method, parameters); }

private:
    Handler handler_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    unsigned registration_ = 0;
    bool owns_ = false;
    std::thread thread_;
};

} // namespace testsupport
