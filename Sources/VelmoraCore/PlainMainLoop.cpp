#include "VelmoraCore/PlainMainLoop.h"

#include <stdexcept>
#include <string>

namespace velmora {

class PlainMainLoop::Timer final : public RepeatingTimer {
public:
    Timer(PlainMainLoop* loop, std::weak_ptr<bool> alive, std::uint64_t id)
        : loop_(loop), alive_(std::move(alive)), id_(id) {}
    ~Timer() override { cancel(); }

    void cancel() override {
        // The handle may outlive the loop; then there is nothing left to cancel.
        if (alive_.lock()) {
            loop_->cancelTimer(id_);
        }
        alive_.reset();
    }

private:
    PlainMainLoop* loop_;
    std::weak_ptr<bool> alive_;
    std::uint64_t id_;
};

PlainMainLoop::PlainMainLoop(Clock clock)
    : clock_(clock), mainThread_(std::this_thread::get_id()), manualNow_(std::chrono::steady_clock::now()) {}

PlainMainLoop::~PlainMainLoop() = default;

void PlainMainLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

std::unique_ptr<RepeatingTimer> PlainMainLoop::scheduleRepeating(std::chrono::milliseconds interval,
                                                                 std::function<void()> tick) {
    requireMainThread("scheduleRepeating()");
    if (interval.count() <= 0) {
        throw std::invalid_argument("a repeating timer needs an interval of at least one millisecond");
    }
    const std::uint64_t id = nextTimerId_++;
    timers_.emplace(id, TimerEntry{now() + interval, interval, std::move(tick)});
    return std::make_unique<Timer>(this, alive_, id);
}

bool PlainMainLoop::isMainThread() const {
    return std::this_thread::get_id() == mainThread_;
}

void PlainMainLoop::requireMainThread(const char* call) const {
    if (!isMainThread()) {
        throw std::logic_error(std::string(call) + " belongs on the loop's main thread");
    }
}

std::chrono::steady_clock::time_point PlainMainLoop::now() const {
    return clock_ == Clock::manual ? manualNow_ : std::chrono::steady_clock::now();
}

bool PlainMainLoop::runOneTask() {
    std::function<void()> task;
    {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) {
            return false;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

bool PlainMainLoop::fireOneTimer(std::chrono::steady_clock::time_point until) {
    auto earliest = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (earliest == timers_.end() || it->second.due < earliest->second.due) {
            earliest = it;
        }
    }
    if (earliest == timers_.end() || earliest->second.due > until) {
        return false;
    }
    earliest->second.due += earliest->second.interval;
    if (clock_ == Clock::real && earliest->second.due <= now()) {
        // A loop held up by a long task ticks once, not once for every interval it missed.
        earliest->second.due = now() + earliest->second.interval;
    }
    std::function<void()> tick = earliest->second.tick; // the tick may cancel its own timer
    tick();
    return true;
}

void PlainMainLoop::cancelTimer(std::uint64_t id) {
    timers_.erase(id);
}

void PlainMainLoop::run() {
    requireMainThread("run()");
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (quitRequested_) {
                quitRequested_ = false;
                return;
            }
        }
        if (runOneTask()) {
            continue;
        }
        if (clock_ == Clock::real && fireOneTimer(now())) {
            continue;
        }
        std::unique_lock lock(mutex_);
        auto ready = [&] { return quitRequested_ || !tasks_.empty(); };
        if (clock_ == Clock::real && !timers_.empty()) {
            auto next = std::chrono::steady_clock::time_point::max();
            for (const auto& [id, timer] : timers_) {
                next = std::min(next, timer.due);
            }
            wake_.wait_until(lock, next, ready);
        } else {
            wake_.wait(lock, ready);
        }
    }
}

void PlainMainLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quitRequested_ = true;
    }
    wake_.notify_one();
}

std::size_t PlainMainLoop::runUntilIdle() {
    std::size_t count = 0;
    while (runOneTask()) {
        ++count;
    }
    return count;
}

void PlainMainLoop::advanceTime(Duration elapsed) {
    if (clock_ != Clock::manual) {
        throw std::logic_error("advanceTime() needs a loop on the manual clock");
    }
    const auto target = manualNow_ + elapsed;
    for (;;) {
        runUntilIdle();
        auto earliest = std::chrono::steady_clock::time_point::max();
        for (const auto& [id, timer] : timers_) {
            earliest = std::min(earliest, timer.due);
        }
        if (earliest > target) {
            break;
        }
        manualNow_ = earliest;
        fireOneTimer(manualNow_);
    }
    manualNow_ = target;
    runUntilIdle();
}

} // namespace velmora
