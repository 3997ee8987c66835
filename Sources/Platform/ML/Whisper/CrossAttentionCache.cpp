#include "Platform/ML/Whisper/CrossAttentionCache.h"

#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace ml {

namespace {

// Every decoder step compares a window's encoder output (megabytes) with the cached one: on all threads,
// or the comparison alone would take a noticeable share of the step.
bool sameBytes(const std::byte* a, const void* b, size_t size) {
    constexpr size_t kPiece = size_t(128) << 10;
    std::atomic<bool> same{true};
    kernels::ThreadPool::shared().parallelFor(kernels::blocksOf(size, kPiece), [&](size_t piece) {
        const size_t begin = piece * kPiece, length = std::min(kPiece, size - begin);
        if (same.load(std::memory_order_relaxed) &&
            std::memcmp(a + begin, static_cast<const std::byte*>(b) + begin, length) != 0)
            same.store(false, std::memory_order_relaxed);
    });
    return same.load();
}

} // namespace

bool CrossAttentionCache::matches(const Entry& entry, const MultiArray& encoderOutput) {
    return entry.dataType == encoderOutput.dataType() && entry.shape == encoderOutput.shape() &&
           entry.source.size() == encoderOutput.byteCount() &&
           sameBytes(entry.source.data(), encoderOutput.data(), entry.source.size());
}

void CrossAttentionCache::dropFinishedWindows() const {
    // The most recent entry stays whatever becomes of its array: a caller that copies the encoder output
    // for every step still finds it.
    if (entries_.empty())
        return;
    for (auto it = std::next(entries_.begin()); it != entries_.end();)
        it = it->owner.expired() ? entries_.erase(it) : std::next(it);
}

std::shared_ptr<const CrossAttentionCache::Entry>
CrossAttentionCache::get(const std::shared_ptr<const MultiArray>& output, const Compute& compute) const {
    const MultiArray& encoderOutput = *output;
    {
        std::lock_guard lock(mutex_);
        dropFinishedWindows();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (matches(*it->entry, encoderOutput)) {
                it->owner = output;
                entries_.splice(entries_.begin(), entries_, it);
                return entries_.front().entry;
            }
    }
    // Computed without the lock: other windows keep decoding meanwhile. Two threads missing on the same
    // window both compute it; the results are equal, so either entry serves.
    auto entry = std::make_shared<Entry>();
    const auto* bytes = static_cast<const std::byte*>(encoderOutput.data());
    entry->source.assign(bytes, bytes + encoderOutput.byteCount());
    entry->shape = encoderOutput.shape();
    entry->dataType = encoderOutput.dataType();
    compute(encoderOutput, *entry);
    std::lock_guard lock(mutex_);
    ++computeCount_;
    entries_.push_front({entry, output});
    dropFinishedWindows();
    while (entries_.size() > capacity_)
        entries_.pop_back();
    return entry;
}

size_t CrossAttentionCache::computeCount() const {
    std::lock_guard lock(mutex_);
    return computeCount_;
}

} // namespace ml
