#pragma once
// One input device as the engine lists it: the sound server's number for it and the name people see.

#include "Sonavex/Utilities/System/Hasher.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace sonavex {

struct AudioDevice {
    /// The sound server's number for the device while it exists; what capture is started with.
    uint32_t id = 0;
    /// Empty when it cannot be read.
    std::string name;

    friend bool operator==(const AudioDevice&, const AudioDevice&) = default;
};

} // namespace sonavex

template <> struct std::hash<sonavex::AudioDevice> {
    std::size_t operator()(const sonavex::AudioDevice& device) const {
        sonavex::Hasher hasher;
        hasher.combine(uint64_t{device.id});
        hasher.combine(device.name);
        return hasher.finalize();
    }
};
