#include "Support/Network/LoopbackServer.h"

#include <chrono>
#include <stdexcept>

namespace testsupport {

LoopbackServer::~LoopbackServer() {
    stop();
}

void LoopbackServer::start(const std::string& name) {
    port_ = server.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error(name + " could not bind to 127.0.0.1");
    }
    thread_ = std::thread([this] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void LoopbackServer::stop() {
    server.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

} // namespace testsupport
