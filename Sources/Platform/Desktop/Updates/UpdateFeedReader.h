#pragma once
// Fetches and reads the update feed over HTTP. Blocking; callable from any thread.

#include "Platform/Desktop/Updates/UpdateFeed.h"

#include <cstddef>
#include <stop_token>
#include <string>

namespace desktop {

class UpdateFeedReader {
public:
    /// Throws std::invalid_argument for an address the update policy refuses.
    explicit UpdateFeedReader(std::string feedUrl);

    const std::string& feedUrl() const { return feedUrl_; }

    /// Throws net::UrlError when the exchange fails (cancelled through `stop` included) and
    /// UpdateFeedError when the answer is not a sound feed.
    UpdateFeed read(std::stop_token stop = {}) const;

    /// A feed lists a handful of versions; a body beyond this is not one.
    static constexpr std::size_t maxFeedBytes = 1 << 20;

private:
    std::string feedUrl_;
};

} // namespace desktop
