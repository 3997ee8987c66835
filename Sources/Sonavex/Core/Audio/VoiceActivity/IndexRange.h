#pragma once
// A half-open run of indices [startIndex, endIndex): voiced sample ranges, or a run of silent frames.

#include <cstdint>

namespace sonavex {

struct IndexRange {
    int64_t startIndex = 0;
    int64_t endIndex = 0;
    friend bool operator==(const IndexRange&, const IndexRange&) = default;
};

} // namespace sonavex
