#pragma once
// Notifications through the desktop's notification service on the session bus
// (org.freedesktop.Notifications). Alerts count as authorised when the service answers there. Calls go
// out one at a time on a worker thread of this object, so no caller waits for the bus; destroying the
// object makes the calls still queued and then stops.

#include "Platform/Desktop/Notifications/NotificationCenter.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace desktop {

class FreedesktopNotificationCenter final : public NotificationCenter {
public:
    /// `applicationName` is the sender the service shows. `callTimeout` bounds each call to the bus.
    explicit FreedesktopNotificationCenter(std::string applicationName,
                                           std::chrono::milliseconds callTimeout = std::chrono::seconds(10));
    ~FreedesktopNotificationCenter() override;
    FreedesktopNotificationCenter(const FreedesktopNotificationCenter&) = delete;
    FreedesktopNotificationCenter& operator=(const FreedesktopNotificationCenter&) = delete;

    void requestAuthorization(std::function<void(bool granted)> completion) override;
    void add(Notification notification) override;

    /// Blocks until every call queued so far has been made and its completion has run.
    void waitUntilIdle();

    static constexpr const char* serviceName = "org.freedesktop.Notifications";
    static constexpr const char* objectPath = "/org/freedesktop/Notifications";
    /// The sound of the freedesktop sound theme for a new message: the desktop's default alert sound.
    static constexpr const char* defaultSoundName = "message-new-instant";

private:
    void enqueue(std::function<void()> call);
    void work();
    bool serviceAnswers() const;
    void notify(const Notification& notification) const;

    const std::string applicationName_;
    const std::chrono::milliseconds callTimeout_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> calls_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace desktop
