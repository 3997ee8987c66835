#pragma once
// The desktop's own way of opening an address: `xdg-open URL`, started detached (never left as a zombie)
// with its standard output discarded, so a tool's output stays clean. A watched start keeps the child's
// pid and reaps it on a thread of its own: xdg-open that cannot start, or that ends unsuccessfully
// within the watch time, is a failure; later it is the browser itself running in the foreground, and
// how that ends says nothing about the page.

#include "Platform/Desktop/UrlHandling/BrowserOpener.h"

#include <chrono>

namespace desktop {

class XdgBrowserOpener final : public BrowserOpener {
public:
    static constexpr std::chrono::milliseconds defaultWatchTime{10'000};

    explicit XdgBrowserOpener(std::chrono::milliseconds watchTime = defaultWatchTime) : watchTime_(watchTime) {}

    bool open(const std::string& url) override;
    bool openWatched(const std::string& url, FailureHandler failed) override;

private:
    std::chrono::milliseconds watchTime_;
};

} // namespace desktop
