#include "OrvaneCore/External/Hub/Network/RedirectSessionActor.h"

#include "OrvaneCore/External/Hub/Network/RedirectDelegate.h"

namespace orvane {

const net::HttpSession& RedirectSessionActor::get() {
    std::lock_guard guard(lock_);
    if (!urlSession_) {
        urlSession_ = std::make_unique<net::HttpSession>(&RedirectDelegate::decide);
    }
    return *urlSession_;
}

} // namespace orvane
