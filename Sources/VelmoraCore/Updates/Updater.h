#pragma once
// The application's own update checker. Once started it checks the feed one minute after launch and then
// every 24 hours in the background, and on request when the user asks; the feed is read on a worker
// thread and the outcome handed to the user driver on the main thread. `canCheckForUpdates` is false
// before start, while a check runs, and always when no feed is configured. Main thread only.

#include "Platform/Desktop/Updates/UpdateFeedReader.h"
#include "Platform/Desktop/Updates/UpdateVersion.h"
#include "VelmoraCore/MainThreadDispatcher.h"
#include "VelmoraCore/Observable.h"
#include "VelmoraCore/Updates/StandardUserDriver.h"

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace velmora {

class Updater {
public:
    struct Configuration {
        /// None (or an address the update policy refuses, which is logged): no checks at all.
        std::optional<std::string> feedUrl;
        /// The running version; the update is the newest feed item above it.
        desktop::UpdateVersion currentVersion;
        /// Whether a window of the application is active; asked when a scheduled check finds an update.
        /// None: never.
        std::function<bool()> isInImmediateFocus;
        /// Where a failed background check is reported (nothing is shown to the user). None: standard error.
        std::function<void(const std::string&)> log;
    };

    static constexpr std::chrono::milliseconds firstCheckDelay = std::chrono::minutes(1);
    static constexpr std::chrono::milliseconds checkInterval = std::chrono::hours(24);

    /// `mainThread` and `driver` must outlive the updater.
    Updater(MainThreadDispatcher& mainThread, Configuration configuration, StandardUserDriver& driver);
    /// Stops a running check and waits for its thread; its outcome is dropped.
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    /// Enables checks and schedules the background ones. Does nothing without a feed or when started.
    void start();

    const Observable<bool>& canCheckForUpdates() const { return canCheckForUpdates_; }

    /// A check the user asked for: every outcome is shown. Ignored while checks are not possible.
    void checkForUpdates();
    /// A scheduled check: only a found update may be shown; failures are logged. Ignored likewise.
    void checkForUpdatesInBackground();

private:
    struct Outcome {
        std::optional<desktop::UpdateItem> update;
        std::exception_ptr error;
    };

    void beginCheck(bool userInitiated);
    void finishCheck(const Outcome& outcome, bool userInitiated);
    void onFirstCheckDue();

    MainThreadDispatcher& mainThread_;
    Configuration configuration_;
    StandardUserDriver& driver_;
    std::shared_ptr<const desktop::UpdateFeedReader> reader_;
    Observable<bool> canCheckForUpdates_{false};
    bool started_ = false;
    std::unique_ptr<RepeatingTimer> firstCheckTimer_;
    std::unique_ptr<RepeatingTimer> dailyCheckTimer_;
    // Posted outcomes look at this before touching the updater, which may be gone by then.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::jthread worker_;
};

} // namespace velmora
