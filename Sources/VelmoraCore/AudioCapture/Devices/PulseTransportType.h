#pragma once
// The transport type of a sound-server device, guessed from what the server tells about it. The
// first rule that matches wins: the bus (Bluetooth, USB), an HDMI or DisplayPort port, a built-in
// form or an internal port on the machine's own buses, a combined sink, a network (RAOP) sink, a
// virtual device class; else 0.

#include "Platform/Audio/Pulse/PulseDevice.h"

#include <cstdint>

namespace velmora {

uint32_t pulseTransportType(const audio::PulseDevice& device);

} // namespace velmora
