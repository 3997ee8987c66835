#pragma once
// The private capture device the recorder builds: the output device (its clock leads), the microphone
// and the tap, read as one device whose input channels follow in that order.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct AggregateMember {
    std::string uid;
    /// 1: the member's clock is corrected to the leading device's.
    uint32_t drift = 0;

    friend bool operator==(const AggregateMember&, const AggregateMember&) = default;
};

struct AggregateDescription {
    std::string name;
    std::string uid;
    /// The member whose clock leads: the output device.
    std::string master;
    bool isPrivate = true;
    bool stacked = false;
    bool tapAutoStart = false;
    std::vector<AggregateMember> subDevices;
    std::vector<AggregateMember> taps;
};

/// "Velmora Capture" over the output device and the input device (listed once when they are the same
/// device) with the tap; `uid` is the new device's identity.
AggregateDescription makeAggregateDescription(const std::string& outputUID, const std::string& inputUID,
                                              const std::string& tapUID, const std::string& uid);

} // namespace velmora
