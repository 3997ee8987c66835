#pragma once
// Shows a web page in the user's browser.

#include <functional>
#include <string>

namespace desktop {

class BrowserOpener {
public:
    /// Told why the page could not be shown.
    using FailureHandler = std::function<void(const std::string& reason)>;

    virtual ~BrowserOpener() = default;

    /// Hands `url` to the browser and returns at once, without waiting for the page. False only when the
    /// request could not even be made (no opener program, say). Main thread or any other.
    virtual bool open(const std::string& url) = 0;

    /// As open(), and `failed` is told, at most once and on any thread, when the request could not be
    /// made (before this returns false) or the opener soon reports that it could not show the page.
    /// An opener that cannot tell the latter only reports the former.
    virtual bool openWatched(const std::string& url, FailureHandler failed) {
        if (open(url)) {
            return true;
        }
        if (failed) {
            failed("the address could not be handed to a browser");
        }
        return false;
    }
};

} // namespace desktop
