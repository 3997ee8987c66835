#pragma once
// One selectable device of a picker: its UID (also its identity), its name and its transport type.

#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

struct AudioDeviceOption {
    std::string id;
    std::string name;
    /// 0 when it cannot be read.
    uint32_t transportType = 0;

    bool isBluetooth() const;
    bool isBuiltIn() const;

    bool operator==(const AudioDeviceOption&) const = default;
};

} // namespace velmora

template <> struct std::hash<velmora::AudioDeviceOption> {
    /// Feeds id, name and transport type, in that order.
    size_t operator()(const velmora::AudioDeviceOption& option) const noexcept;
};
