#pragma once
// The slots of incremental loading: at most `maxBufferedChunks` chunks may be out with the consumer at
// once. The producer takes a slot before handing out a chunk and waits while none is free; each
// completion signal gives one back. Once terminated (the consumer has gone) nobody waits any more.
// All members are safe to call from any thread.

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

namespace sonavex {

class IncrementalLoadController {
public:
    /// Throws std::invalid_argument for fewer than 1 slot.
    explicit IncrementalLoadController(int64_t maxBufferedChunks);

    const int64_t maxBufferedChunks;

    /// Counts one more chunk out. While all slots are taken it blocks, in line behind earlier waiters,
    /// until a slot is given back to it; once terminated it returns at once without counting.
    void requestChunkSlot();
    /// Gives a slot back and wakes the earliest waiter. With no chunk out it does nothing.
    void releaseChunkSlot();
    /// Terminates: wakes every waiter, and later requests return at once.
    void resumeWaitingProducers();

    int64_t activeChunks() const;
    int64_t waitingProducerCount() const;
    bool isTerminated() const;

private:
    struct Waiter {
        bool resumed = false;
    };

    mutable std::mutex mutex_;
    std::condition_variable resumedCondition_;
    int64_t activeChunks_ = 0;
    std::list<Waiter*> waitingProducers_;
    bool isTerminated_ = false;
};

} // namespace sonavex
