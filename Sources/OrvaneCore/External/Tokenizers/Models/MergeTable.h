#pragma once
// The merge ranks of a byte-pair-encoding model, keyed by the ids of a pair's two symbols. An
// open-addressing table: the merge loop looks up every adjacent pair of every word, so this lookup
// is the model's hottest path.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane {

class MergeTable {
public:
    struct Merge {
        int rank;
        std::int32_t merged; // symbol id of the concatenation
    };

    void reserve(std::size_t count);
    /// Inserts or replaces the merge of (first, second); ids are not negative.
    void set(std::int32_t first, std::int32_t second, Merge merge);
    /// The merge of (first, second); null when there is none (or either id is negative).
    const Merge* find(std::int32_t first, std::int32_t second) const;
    std::size_t size() const { return count_; }

private:
    static constexpr std::uint64_t empty = ~std::uint64_t{0};
    std::size_t slot(std::uint64_t key) const;
    void grow();

    std::vector<std::uint64_t> keys_;
    std::vector<Merge> merges_;
    std::size_t count_ = 0;
    int shift_ = 64;
};

} // namespace orvane
