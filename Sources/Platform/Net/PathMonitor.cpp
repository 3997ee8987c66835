#include "Platform/Net/PathMonitor.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net {

PathMonitor::~PathMonitor() {
    cancel();
}

void PathMonitor::setHandler(Handler handler) {
    std::lock_guard guard(lock_);
    handler_ = std::move(handler);
}

void PathMonitor::start() {
    {
        std::lock_guard guard(lock_);
        if (watcher_.joinable()) {
            return;
        }
    }
    // The first report is delivered before start() returns, so no later report can be overtaken by it.
    deliver(NetworkPath::current());
    std::lock_guard guard(lock_);
    if (watcher_.joinable()) {
        return;
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    watcher_ = std::jthread([this](std::stop_token stop) { watch(stop); });
}

void PathMonitor::cancel() {
    std::jthread watcher;
    int wakeFd = -1;
    {
        std::lock_guard guard(lock_);
        watcher = std::move(watcher_);
        wakeFd = wakeFd_;
        wakeFd_ = -1;
    }
    if (watcher.joinable()) {
        watcher.request_stop();
        if (wakeFd >= 0) {
            std::uint64_t one = 1;
            [[maybe_unused]] auto written = write(wakeFd, &one, sizeof one);
        }
        watcher.join();
    }
    if (wakeFd >= 0) {
        close(wakeFd);
    }
}

void PathMonitor::injectPathForTesting(const NetworkPath& path) {
    deliver(path);
}

void PathMonitor::deliver(const NetworkPath& path) {
    Handler handler;
    {
        std::lock_guard guard(lock_);
        lastReported_ = path;
        handler = handler_;
    }
    if (handler) {
        handler(path);
    }
}

void PathMonitor::watch(std::stop_token stop) {
    int wakeFd = -1;
    {
        std::lock_guard guard(lock_);
        wakeFd = wakeFd_;
    }
    int socketFd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (socketFd >= 0) {
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups =
            RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
        if (bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(socketFd);
            socketFd = -1;
        }
    }
    // Without a netlink socket (a restricted sandbox) the first report is all there will be.
    std::array<pollfd, 2> fds{pollfd{wakeFd, POLLIN, 0}, pollfd{socketFd, POLLIN, 0}};
    std::array<char, 8192> buffer{};
    while (!stop.stop_requested()) {
        int ready = poll(fds.data(), socketFd >= 0 ? 2 : 1, -1);
        if (ready < 0 || stop.stop_requested()) {
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        if (socketFd >= 0 && (fds[1].revents & POLLIN) != 0) {
            while (recv(socketFd, buffer.data(), buffer.size(), 0) > 0) {
                // Drain the burst; the messages only say that something changed.
            }
            NetworkPath now = NetworkPath::current();
            bool changed = false;
            {
                std::lock_guard guard(lock_);
                changed = !lastReported_ || !(*lastReported_ == now);
            }
            if (changed) {
                deliver(now);
            }
        }
    }
    if (socketFd >= 0) {
        close(socketFd);
    }
}

} // namespace net
