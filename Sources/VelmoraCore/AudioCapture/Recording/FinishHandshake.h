#pragma once
// The wait for a file to be finished, bounded by a time-out: whichever comes first, the finish or the
// time-out, ends it. A finish reported before anyone waits is remembered, so a later wait returns at
// once instead of running into the time-out.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace velmora {

class FinishHandshake {
public:
    /// The file is finished (or failed for good): ends a wait, now or later. Any thread; idempotent.
    void resumeIfNeeded();
    /// Waits until resumeIfNeeded() or until `timeout` has passed; true when it was the finish.
    bool waitForFinish(std::chrono::milliseconds timeout);

private:
    std::mutex lock_;
    std::condition_variable finished_;
    bool done_ = false;
};

} // namespace velmora
