#include "OrvaneCore/System/Progress.h"

#include <algorithm>
#include <stdexcept>

namespace orvane {

std::int64_t Progress::totalUnitCount() const {
    std::lock_guard lock(mutex_);
    return totalUnitCount_;
}

void Progress::setTotalUnitCount(std::int64_t count) {
    std::lock_guard lock(mutex_);
    totalUnitCount_ = count;
}

std::int64_t Progress::completedUnitCount() const {
    std::vector<Child> children;
    std::int64_t own = 0;
    {
        std::lock_guard lock(mutex_);
        children = children_;
        own = completedUnitCount_;
    }
    // Children are asked outside this node's lock: a node never holds two locks at once.
    for (const Child& child : children) {
        if (child.progress->isFinished()) {
            own += child.pendingUnitCount;
        }
    }
    return own;
}

void Progress::setCompletedUnitCount(std::int64_t count) {
    std::lock_guard lock(mutex_);
    completedUnitCount_ = count;
}

void Progress::addChild(std::shared_ptr<Progress> child, std::int64_t pendingUnitCount) {
    if (!child || child.get() == this) {
        throw std::invalid_argument("Progress::addChild needs another progress object");
    }
    std::lock_guard lock(mutex_);
    children_.push_back({std::move(child), pendingUnitCount});
}

double Progress::fractionCompleted() const {
    std::vector<Child> children;
    std::int64_t total = 0;
    std::int64_t own = 0;
    {
        std::lock_guard lock(mutex_);
        children = children_;
        total = totalUnitCount_;
        own = completedUnitCount_;
    }
    if (total <= 0) {
        return 0.0;
    }
    double units = static_cast<double>(own);
    for (const Child& child : children) {
        units += child.progress->fractionCompleted() * static_cast<double>(child.pendingUnitCount);
    }
    return std::clamp(units / static_cast<double>(total), 0.0, 1.0);
}

bool Progress::isFinished() const {
    const std::int64_t total = totalUnitCount();
    return total > 0 && completedUnitCount() >= total;
}

std::optional<double> Progress::throughput() const {
    std::lock_guard lock(mutex_);
    return throughput_;
}

void Progress::setThroughput(std::optional<double> bytesPerSecond) {
    std::lock_guard lock(mutex_);
    throughput_ = bytesPerSecond;
}

} // namespace orvane
