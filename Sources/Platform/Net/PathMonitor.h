#pragma once
// Watches the machine's network interfaces (rtnetlink) and reports the NetworkPath to a handler:
// once inside start(), then whenever it changes. Reports come from the monitor's own thread; the
// handler must not call back into the monitor.

#include "Platform/Net/NetworkPath.h"

#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace net {

class PathMonitor {
public:
    using Handler = std::function<void(const NetworkPath&)>;

    PathMonitor() = default;
    ~PathMonitor();
    PathMonitor(const PathMonitor&) = delete;
    PathMonitor& operator=(const PathMonitor&) = delete;

    /// Replaces the handler that receives reports.
    void setHandler(Handler handler);
    /// Starts watching; calling it again while watching keeps the one watcher running.
    void start();
    /// Stops watching; no report is delivered after it returns.
    void cancel();

    /// Delivers `path` to the handler as if the system had reported it (for tests).
    void injectPathForTesting(const NetworkPath& path);

private:
    void watch(std::stop_token stop);
    void deliver(const NetworkPath& path);

    std::mutex lock_;
    Handler handler_;
    std::optional<NetworkPath> lastReported_;
    std::jthread watcher_;
    int wakeFd_ = -1;
};

} // namespace net
