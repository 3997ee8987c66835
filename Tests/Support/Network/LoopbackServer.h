#pragma once
// An HTTP server for tests on 127.0.0.1, at a port the system picks, served on a thread of its own. Set
// the handlers on `server`, then start().

#include <httplib.h>
#include <string>
#include <thread>

namespace testsupport {

class LoopbackServer {
public:
    LoopbackServer() = default;
    /// Stops first.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    /// Returns once the server listens; throws when it cannot bind (`name` says which server).
    void start(const std::string& name);
    /// Stops serving and waits for the thread; harmless when not running.
    void stop();

    int port() const { return port_; }

    httplib::Server server;

private:
    std::thread thread_;
    int port_ = 0;
};

} // namespace testsupport
