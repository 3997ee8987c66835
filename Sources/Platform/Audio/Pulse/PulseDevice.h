#pragma once
// What the sound server tells about one sink (an output) or one source (an input or a sink's monitor),
// as far as device pickers and transport guesses need it.

#include <cstdint>
#include <map>
#include <string>

namespace audio {

struct PulseDevice {
    enum class Kind { sink, source };

    Kind kind = Kind::sink;
    /// The server's index: stable while the device exists, reused after it goes.
    uint32_t index = 0;
    /// The server's unique name ("alsa_output.pci-0000_00_1f.3.analog-stereo").
    std::string name;
    /// The human-readable name ("Built-in Audio Analog Stereo").
    std::string description;
    uint32_t sampleRate = 0;
    uint32_t channels = 0;
    /// Sources only: true when the source records what a sink plays.
    bool isMonitor = false;
    /// Sinks only: the name of the source that records what this sink plays.
    std::string monitorSourceName;
    /// The active port's name ("analog-output-speaker", "hdmi-output-0"); empty without ports.
    std::string activePortName;
    /// The server's driver ("module-null-sink.c") and the name of the module that made the device
    /// ("module-combine-sink"); empty when the server does not say.
    std::string driver;
    std::string moduleName;
    /// The device's property list ("device.bus" = "usb", "device.form_factor" = "headset", ...).
    std::map<std::string, std::string> properties;

    /// The property's value, or an empty string when the device does not have it.
    std::string property(const std::string& key) const;
};

} // namespace audio
