#pragma once
// Stand-ins for the sign-in session's desktop services, and JSON Web Tokens made to order.

#include "Platform/Desktop/Notifications/NotificationCenter.h"
#include "Platform/Desktop/UrlHandling/BrowserOpener.h"

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace authtest {

class RecordingBrowser final : public desktop::BrowserOpener {
public:
    bool open(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    bool openWatched(const std::string& url, FailureHandler failed) override {
        opened.push_back(url);
        watchers.push_back(failed);
        if (refuseWith) {
            failed(*refuseWith);
            return false;
        }
        return true;
    }
    std::vector<std::string> opened;
    /// Each watched opening's failure handler, for the test to report a late failure.
    std::vector<FailureHandler> watchers;
    /// Set: the opener cannot be started, for this reason.
    std::optional<std::string> refuseWith;
};

/// Answers the authorisation question from another thread, as the desktop may.
class RecordingNotifications final : public desktop::NotificationCenter {
public:
    void requestAuthorization(std::function<void(bool granted)> completion) override {
        ++questions;
        std::thread([&, completion] { completion(grants); }).join();
    }
    void add(desktop::Notification notification) override {
        std::lock_guard lock(mutex);
        shown.push_back(std::move(notification));
    }
    bool grants = true;
    int questions = 0;
    std::mutex mutex;
    std::vector<desktop::Notification> shown;
};

/// base64url without padding.
inline std::string base64Url(const std::string& bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (unsigned char c : bytes) {
        bits = (bits << 8) | c;
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += alphabet[(bits >> count) & 0x3F];
        }
    }
    if (count > 0) {
        out += alphabet[(bits << (6 - count)) & 0x3F];
    }
    return out;
}

/// A token whose payload is `payloadJson`.
inline std::string jwt(const std::string& payloadJson) {
    return base64Url(R"({"alg":"HS256","typ":"JWT"})") + "." + base64Url(payloadJson) + ".c2lnbmF0dXJl";
}

} // namespace authtest
