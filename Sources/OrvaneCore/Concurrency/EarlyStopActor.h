#pragma once
// Stop flags of decoding runs, keyed by each run's identifier: the decoder reads its run's flag at every
// step while another thread may raise it. Flags of different runs never interfere.

#include "OrvaneCore/System/Uuid.h"

#include <mutex>
#include <optional>
#include <unordered_map>

namespace orvane {

class EarlyStopActor {
public:
    EarlyStopActor() = default;
    virtual ~EarlyStopActor() = default;

    /// Stores the flag for `id`, replacing any previous one.
    virtual void set(bool shouldStop, const Uuid& id);
    /// The flag for `id`, or false when it has none.
    virtual bool get(const Uuid& id);
    /// Removes the entry for `id` and returns the flag it held, or none when there was none.
    virtual std::optional<bool> remove(const Uuid& id);

private:
    std::mutex mutex_;
    std::unordered_map<Uuid, bool> shouldStop_;
};

} // namespace orvane
