#pragma once
// A thread-safe tree of progress counters: each node counts completed units out of a total, and a child
// attached with a pending count contributes its own fraction of those units to its parent. The
// repository snapshot reports one parent for the whole repository and one child per file, so the
// parent's fraction is the mean of the files' fractions. A node may also carry a transfer rate.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace orvane {

class Progress {
public:
    static std::shared_ptr<Progress> create(std::int64_t totalUnitCount) {
        return std::make_shared<Progress>(totalUnitCount);
    }
    explicit Progress(std::int64_t totalUnitCount) : totalUnitCount_(totalUnitCount) {}

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t count);

    /// Own completed units plus the pending units of children that have finished.
    std::int64_t completedUnitCount() const;
    /// Sets the node's own completed units (children's shares are added on top).
    void setCompletedUnitCount(std::int64_t count);

    /// Attaches `child` so that it stands for `pendingUnitCount` of this node's units. A child must not
    /// be attached to two parents or to one of its own descendants.
    void addChild(std::shared_ptr<Progress> child, std::int64_t pendingUnitCount);

    /// Completed share of the total, 0 to 1; 0 while the total is 0 or negative (indeterminate).
    double fractionCompleted() const;
    bool isFinished() const;

    /// The latest transfer rate in bytes per second, when one was reported.
    std::optional<double> throughput() const;
    void setThroughput(std::optional<double> bytesPerSecond);

private:
    struct Child {
        std::shared_ptr<Progress> progress;
        std::int64_t pendingUnitCount;
    };

    mutable std::mutex mutex_;
    std::int64_t totalUnitCount_;
    std::int64_t completedUnitCount_ = 0;
    std::vector<Child> children_;
    std::optional<double> throughput_;
};

} // namespace orvane
