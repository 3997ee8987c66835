#pragma once
// Shows a web page in the user's browser.

#include <string>

namespace desktop {

class BrowserOpener {
public:
    virtual ~BrowserOpener() = default;

    /// Hands `url` to the browser and returns at once, without waiting for the page. False only when the
    /// request could not even be made (no opener program, say). Main thread or any other.
    virtual bool open(const std::string& url) = 0;
};

} // namespace desktop
