#pragma once
// Helpers of the shell's tests: a recording session that only keeps its state, Qt's event loop run
// until something has happened, and the folder the tests' pictures go to.

#include "Velmora/Recording/RecordingControl.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <map>

namespace shelltest {

class FakeRecordingSession final : public velmora::app::RecordingControl {
public:
    Phase phase() const override { return phase_; }
    double elapsedSeconds() const override { return elapsed_; }
    int pendingTranscriptions() const override { return pending_; }
    std::unique_ptr<Observation> observe(std::function<void()> changed) const override {
        const int id = nextId_++;
        observers_[id] = std::move(changed);
        return std::make_unique<Observation>([this, id] { observers_.erase(id); });
    }
    void reset() override {
        ++resets;
        set(Phase::idle, 0, pending_);
    }
    void start() override {
        ++starts;
        set(Phase::recording, 0, pending_);
    }
    void stop() override {
        ++stops;
        set(Phase::idle, elapsed_, pending_ + 1);
    }

    /// Publishes a new state, as the session does.
    void set(Phase phase, double elapsed, int pending) {
        phase_ = phase;
        elapsed_ = elapsed;
        pending_ = pending;
        auto observers = observers_;
        for (auto& [id, observer] : observers) {
            observer();
        }
    }
    std::size_t observerCount() const { return observers_.size(); }

    int resets = 0;
    int starts = 0;
    int stops = 0;

private:
    Phase phase_ = Phase::idle;
    double elapsed_ = 0;
    int pending_ = 0;
    mutable std::map<int, std::function<void()>> observers_;
    mutable int nextId_ = 0;
};

/// Runs Qt's events until `done` holds; false when it still does not after a generous while (a fault,
/// never a measure of speed).
inline bool processEventsUntil(const std::function<bool()>& done, int limitMs = 20000) {
    QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

/// build/screenshots: the pictures the tests leave for a person to look at.
QString screenshotDirectory();

/// Starts the program as a later start would, with `runtime` as its runtime folder, and runs Qt's events
/// (the first instance lives in this process) until it ends. Its exit status, or -1 when it did not end.
int runSecondInstance(const std::filesystem::path& runtime, const QStringList& arguments);

} // namespace shelltest
