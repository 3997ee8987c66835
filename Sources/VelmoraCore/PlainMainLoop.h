#pragma once
// A main-thread dispatcher without a GUI: a queue of posted tasks and timers, run by the thread that
// created the loop. Tools run it on the real clock; tests use the manual clock and move time themselves,
// so nothing waits on wall-clock time.

#include "VelmoraCore/MainThreadDispatcher.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace velmora {

class PlainMainLoop final : public MainThreadDispatcher {
public:
    enum class Clock { real, manual };
    using Duration = std::chrono::steady_clock::duration;

    /// The calling thread becomes the loop's main thread.
    explicit PlainMainLoop(Clock clock = Clock::real);
    ~PlainMainLoop() override;
    PlainMainLoop(const PlainMainLoop&) = delete;
    PlainMainLoop& operator=(const PlainMainLoop&) = delete;

    void post(std::function<void()> task) override;
    std::unique_ptr<RepeatingTimer> scheduleRepeating(std::chrono::milliseconds interval,
                                                      std::function<void()> tick) override;
    bool isMainThread() const override;

    /// Runs tasks and due timers until quit() is called (from a task or another thread), waiting for work
    /// in between (a timer held up by a long task ticks once, not once per missed interval). With the
    /// manual clock only posted tasks wake it. Main thread only.
    void run();
    /// Makes run() return after the task it is running. Callable from any thread.
    void quit();

    /// Runs posted tasks, including those they post, until none is left; does not wait. Returns how many
    /// ran. Main thread only.
    std::size_t runUntilIdle();

    /// Manual clock: moves the loop's time forward by `elapsed`, firing each timer at every due time on
    /// the way in time order, with the posted tasks run before each tick. Main thread only.
    void advanceTime(Duration elapsed);

private:
    class Timer;
    struct TimerEntry {
        std::chrono::steady_clock::time_point due;
        Duration interval;
        std::function<void()> tick;
    };

    std::chrono::steady_clock::time_point now() const;
    void requireMainThread(const char* call) const;
    bool runOneTask();
    // Fires the earliest timer due at or before `until`; false when none is due.
    bool fireOneTimer(std::chrono::steady_clock::time_point until);
    void cancelTimer(std::uint64_t id);

    const Clock clock_;
    const std::thread::id mainThread_;
    std::chrono::steady_clock::time_point manualNow_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool quitRequested_ = false;

    // Timers are main-thread only, so they need no lock.
    std::map<std::uint64_t, TimerEntry> timers_;
    std::uint64_t nextTimerId_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmora
