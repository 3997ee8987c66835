#include "VelmoraCore/AudioCapture/Devices/DeviceInfo.h"

#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"

namespace velmora {

namespace {

const char* const unknownName = "不明";

template <typename Read, typename Value> auto readOr(Read read, Value fallback) -> decltype(read()) {
    try {
        return read();
    } catch (const std::exception&) {
        return fallback;
    }
}

} // namespace

DeviceInfo DeviceInfo::current(const std::optional<std::string>& preferredInputUID, AudioSystem& system) {
    DeviceInfo info;

    std::optional<AudioDeviceID> defaultInput =
        readOr([&]() -> std::optional<AudioDeviceID> { return defaultInputDevice(system); }, std::nullopt);
    bool defaultIsBluetooth = false;
    if (defaultInput) {
        const uint32_t transport = readOr([&] { return deviceTransportType(*defaultInput, system); }, 0u);
        defaultIsBluetooth = transport == TransportType::bluetooth || transport == TransportType::bluetoothLE;
    }

    std::optional<AudioDeviceID> input;
    if (preferredInputUID) {
        input = deviceWithUID(*preferredInputUID, system);
    }
    if (!input && defaultIsBluetooth) {
        if (auto builtIn = builtInInputDevice(system)) {
            input = builtIn;
            info.inputWasRedirectedFromBluetooth = true;
        } else {
            input = defaultInput;
        }
    }
    if (!input) {
        input = defaultInput;
    }

    if (input) {
        info.inputName = readOr([&] { return deviceName(*input, system); }, std::string(unknownName));
        info.inputSampleRate = readOr([&] { return deviceNominalSampleRate(*input, system); }, 0.0);
    } else {
        info.inputName = unknownName;
    }

    if (auto output = readOr([&]() -> std::optional<AudioDeviceID> { return defaultOutputDevice(system); },
                             std::nullopt)) {
        info.outputName = readOr([&] { return deviceName(*output, system); }, std::string(unknownName));
        info.outputIsBuiltInSpeaker =
            readOr([&] { return deviceTransportType(*output, system); }, 0u) == TransportType::builtIn;
    } else {
        info.outputName = unknownName;
    }

    info.inputSampleRateIsLow = info.inputSampleRate > 0 && info.inputSampleRate < 24000.0;
    return info;
}

} // namespace velmora
