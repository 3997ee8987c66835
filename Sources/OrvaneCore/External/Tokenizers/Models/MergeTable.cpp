#include "OrvaneCore/External/Tokenizers/Models/MergeTable.h"

namespace orvane {
namespace {

std::uint64_t keyOf(std::int32_t first, std::int32_t second) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 32) |
           static_cast<std::uint32_t>(second);
}

} // namespace

std::size_t MergeTable::slot(std::uint64_t key) const {
    // Fibonacci hashing spreads the packed ids over the power-of-two table.
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
}

void MergeTable::reserve(std::size_t count) {
    std::size_t capacity = 16;
    int shift = 60;
    while (capacity < count * 2) {
        capacity *= 2;
        --shift;
    }
    if (capacity <= keys_.size())
        return;
    std::vector<std::uint64_t> oldKeys(capacity, empty);
    std::vector<Merge> oldMerges(capacity);
    oldKeys.swap(keys_);
    oldMerges.swap(merges_);
    shift_ = shift;
    count_ = 0;
    for (std::size_t i = 0; i < oldKeys.size(); ++i) {
        if (oldKeys[i] != empty)
            set(static_cast<std::int32_t>(oldKeys[i] >> 32), static_cast<std::int32_t>(oldKeys[i]),
                oldMerges[i]);
    }
}

void MergeTable::grow() {
    reserve(keys_.empty() ? 8 : keys_.size());
}

void MergeTable::set(std::int32_t first, std::int32_t second, Merge merge) {
    if ((count_ + 1) * 2 > keys_.size())
        grow();
    std::uint64_t key = keyOf(first, second);
    std::size_t mask = keys_.size() - 1;
    for (std::size_t i = slot(key);; i = (i + 1) & mask) {
        if (keys_[i] == empty) {
            keys_[i] = key;
            merges_[i] = merge;
            ++count_;
            return;
        }
        if (keys_[i] == key) {
            merges_[i] = merge;
            return;
        }
    }
}

const MergeTable::Merge* MergeTable::find(std::int32_t first, std::int32_t second) const {
    if (first < 0 || second < 0 || keys_.empty())
        return nullptr;
    std::uint64_t key = keyOf(first, second);
    std::size_t mask = keys_.size() - 1;
    for (std::size_t i = slot(key);; i = (i + 1) & mask) {
        if (keys_[i] == key)
            return &merges_[i];
        if (keys_[i] == empty)
            return nullptr;
    }
}

} // namespace orvane
