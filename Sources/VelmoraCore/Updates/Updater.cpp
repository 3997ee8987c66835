#include "VelmoraCore/Updates/Updater.h"

#include "VelmoraCore/ErrorText.h"

#include <iostream>
#include <stdexcept>

namespace velmora {

Updater::Updater(MainThreadDispatcher& mainThread, Configuration configuration, StandardUserDriver& driver)
    : mainThread_(mainThread), configuration_(std::move(configuration)), driver_(driver) {
    if (!configuration_.log) {
        configuration_.log = [](const std::string& text) { std::cerr << "warning: " << text << std::endl; };
    }
    if (!configuration_.isInImmediateFocus) {
        configuration_.isInImmediateFocus = [] { return false; };
    }
    if (!configuration_.feedUrl) {
        return;
    }
    try {
        reader_ = std::make_shared<const desktop::UpdateFeedReader>(*configuration_.feedUrl);
    } catch (const std::invalid_argument& error) {
        configuration_.log(std::string("update checks are off: ") + error.what());
    }
}

Updater::~Updater() {
    worker_.request_stop(); // joined when the member goes
}

void Updater::start() {
    if (!reader_ || started_) {
        return;
    }
    started_ = true;
    canCheckForUpdates_.set(true);
    firstCheckTimer_ = mainThread_.scheduleRepeating(firstCheckDelay, [this] { onFirstCheckDue(); });
}

void Updater::onFirstCheckDue() {
    // The handle stays until the updater goes: a timer is not destroyed from inside its own tick.
    firstCheckTimer_->cancel();
    dailyCheckTimer_ =
        mainThread_.scheduleRepeating(checkInterval, [this] { checkForUpdatesInBackground(); });
    checkForUpdatesInBackground();
}

void Updater::checkForUpdates() {
    beginCheck(true);
}

void Updater::checkForUpdatesInBackground() {
    beginCheck(false);
}

void Updater::beginCheck(bool userInitiated) {
    if (!canCheckForUpdates_.value()) {
        return;
    }
    canCheckForUpdates_.set(false);
    // The thread uses only what it was given, so the updater may go while the feed is still loading.
    worker_ =
        std::jthread([reader = reader_, running = configuration_.currentVersion, &mainThread = mainThread_,
                      alive = std::weak_ptr<bool>(alive_), this, userInitiated](std::stop_token stop) {
            Outcome outcome;
            try {
                outcome.update = reader->read(stop).newestAbove(running);
            } catch (...) {
                outcome.error = std::current_exception();
            }
            mainThread.post([alive, this, outcome, userInitiated] {
                if (alive.lock()) {
                    finishCheck(outcome, userInitiated);
                }
            });
        });
}

void Updater::finishCheck(const Outcome& outcome, bool userInitiated) {
    if (outcome.error) {
        const std::string description = errorDescription(outcome.error);
        if (userInitiated) {
            driver_.showUpdaterError(description);
        } else {
            configuration_.log("scheduled update check failed: " + description);
        }
    } else if (outcome.update) {
        const bool immediateFocus = !userInitiated && configuration_.isInImmediateFocus();
        driver_.showUpdateFound(*outcome.update, UserUpdateState{userInitiated}, immediateFocus);
    } else if (userInitiated) {
        driver_.showUpdateNotFound();
    }
    canCheckForUpdates_.set(true);
}

} // namespace velmora
