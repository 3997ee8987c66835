#pragma once
// "The main thread" of the application core: the one thread on which observable objects change and
// button actions run. The shell binds it to its GUI event loop; tests and tools use PlainMainLoop.

#include <chrono>
#include <functional>
#include <memory>

namespace velmora {

/// A repeating timer started by a dispatcher. Destroying the handle cancels the timer.
/// Main thread only.
class RepeatingTimer {
public:
    virtual ~RepeatingTimer() = default;
    /// No further ticks after this returns, including ticks already due. Cancelling twice is harmless.
    virtual void cancel() = 0;
};

class MainThreadDispatcher {
public:
    virtual ~MainThreadDispatcher() = default;

    /// Runs `task` on the main thread after the tasks posted before it. Callable from any thread; never
    /// runs the task inside this call, even on the main thread.
    virtual void post(std::function<void()> task) = 0;

    /// Calls `tick` on the main thread every `interval` (the first call one interval from now) until the
    /// returned handle is cancelled or destroyed. Main thread only.
    virtual std::unique_ptr<RepeatingTimer> scheduleRepeating(std::chrono::milliseconds interval,
                                                              std::function<void()> tick) = 0;

    /// True on the thread that runs posted tasks.
    virtual bool isMainThread() const = 0;
};

} // namespace velmora
