#pragma once
// A voiced stretch in seconds of the detector's audio.

namespace sonavex {

struct SeekTimestamp {
    float startTime = 0;
    float endTime = 0;
    friend bool operator==(const SeekTimestamp&, const SeekTimestamp&) = default;
};

} // namespace sonavex
