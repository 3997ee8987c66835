#include "VelmoraCore/AudioCapture/Recording/FinishHandshake.h"

namespace velmora {

void FinishHandshake::resumeIfNeeded() {
    {
        std::lock_guard guard(lock_);
        done_ = true;
    }
    finished_.notify_all();
}

bool FinishHandshake::waitForFinish(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return finished_.wait_for(guard, timeout, [this] { return done_; });
}

} // namespace velmora
