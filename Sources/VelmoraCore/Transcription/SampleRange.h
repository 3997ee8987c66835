#pragma once
// A half-open stretch [start, end) of a track's samples at 16 kHz.

#include <cstdint>

namespace velmora {

struct SampleRange {
    std::int64_t start = 0;
    std::int64_t end = 0;

    bool operator==(const SampleRange&) const = default;
};

} // namespace velmora
