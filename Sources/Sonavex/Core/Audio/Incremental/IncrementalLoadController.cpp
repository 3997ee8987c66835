#include "Sonavex/Core/Audio/Incremental/IncrementalLoadController.h"

#include <stdexcept>
#include <string>

namespace sonavex {

IncrementalLoadController::IncrementalLoadController(int64_t maxBufferedChunks)
    : maxBufferedChunks(maxBufferedChunks) {
    if (maxBufferedChunks < 1) {
        throw std::invalid_argument("IncrementalLoadController: at least 1 slot, not " +
                                    std::to_string(maxBufferedChunks));
    }
}

void IncrementalLoadController::requestChunkSlot() {
    std::unique_lock lock(mutex_);
    if (isTerminated_) {
        return;
    }
    if (activeChunks_ < maxBufferedChunks) {
        ++activeChunks_;
        return;
    }
    Waiter waiter;
    waitingProducers_.push_back(&waiter);
    resumedCondition_.wait(lock, [&] { return waiter.resumed; });
    if (!isTerminated_) {
        ++activeChunks_;
    }
}

void IncrementalLoadController::releaseChunkSlot() {
    std::lock_guard lock(mutex_);
    if (activeChunks_ < 1) {
        return;
    }
    const int64_t before = activeChunks_--;
    if (!waitingProducers_.empty() && before <= maxBufferedChunks) {
        waitingProducers_.front()->resumed = true;
        waitingProducers_.pop_front();
        resumedCondition_.notify_all();
    }
}

void IncrementalLoadController::resumeWaitingProducers() {
    std::lock_guard lock(mutex_);
    isTerminated_ = true;
    for (Waiter* waiter : waitingProducers_) {
        waiter->resumed = true;
    }
    waitingProducers_.clear();
    resumedCondition_.notify_all();
}

int64_t IncrementalLoadController::activeChunks() const {
    std::lock_guard lock(mutex_);
    return activeChunks_;
}

int64_t IncrementalLoadController::waitingProducerCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int64_t>(waitingProducers_.size());
}

bool IncrementalLoadController::isTerminated() const {
    std::lock_guard lock(mutex_);
    return isTerminated_;
}

} // namespace sonavex
