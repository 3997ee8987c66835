#pragma once
// The text decoder's cross-attention keys and values, which depend only on the window's encoder output:
// computed once per window and reused for each of its tokens. An entry is found by comparing the whole
// encoder output (type, shape and every byte) with the one it was made from, so a new window is never
// served an old window's values, whatever memory its array happens to reuse. Several windows decoded at
// once each keep their own entry; the least recently used entry goes first. An entry whose encoder output
// no longer exists anywhere (its window is done) goes as soon as another window asks: a turbo-sized entry
// is 35 MB, and a file transcribed window after window would otherwise keep the last few.

#include "Platform/ML/Values/MultiArray.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

namespace ml {

class CrossAttentionCache {
public:
    /// Per decoder layer: keys and values of every encoder frame, head-major [heads, frames, 64], as
    /// half floats (each token reads them all: half the bytes is half the time; arrays, for their large
    /// pages).
    struct Entry {
        std::vector<std::byte> source; // the encoder output the values were computed from
        std::vector<int64_t> shape;
        MultiArrayDataType dataType;
        std::vector<MultiArray> keys;
        std::vector<MultiArray> values;
    };
    using Compute = std::function<void(const MultiArray& encoderOutput, Entry& entry)>;

    explicit CrossAttentionCache(size_t capacity = 4) : capacity_(capacity) {}

    /// The entry for this encoder output, computing it (outside the lock) when there is none.
    std::shared_ptr<const Entry> get(const std::shared_ptr<const MultiArray>& encoderOutput,
                                     const Compute& compute) const;

    /// How many times an entry was computed (for tests).
    size_t computeCount() const;

private:
    struct Slot {
        std::shared_ptr<const Entry> entry;
        std::weak_ptr<const MultiArray> owner; // the last array it served
    };
    static bool matches(const Entry& entry, const MultiArray& encoderOutput);
    void dropFinishedWindows() const; // with the lock held

    size_t capacity_;
    mutable std::mutex mutex_;
    mutable std::list<Slot> entries_; // most recently used first
    mutable size_t computeCount_ = 0;
};

} // namespace ml
