#pragma once
// Hands out the one HTTP session of the process that sends the hub client's HEAD probes, whose
// redirects RedirectDelegate decides. Thread-safe; the session is made on first use and kept.

#include "Platform/Net/HttpSession.h"

#include <memory>
#include <mutex>

namespace orvane {

class RedirectSessionActor {
public:
    const net::HttpSession& get();

private:
    std::mutex lock_;
    std::unique_ptr<net::HttpSession> urlSession_;
};

} // namespace orvane
