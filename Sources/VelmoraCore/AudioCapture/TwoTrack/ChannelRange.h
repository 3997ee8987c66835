#pragma once
// A half-open run of channel numbers: lowerBound included, upperBound not.

namespace velmora {

struct ChannelRange {
    int lowerBound = 0;
    int upperBound = 0;

    int count() const { return upperBound > lowerBound ? upperBound - lowerBound : 0; }
    friend bool operator==(const ChannelRange&, const ChannelRange&) = default;
};

} // namespace velmora
