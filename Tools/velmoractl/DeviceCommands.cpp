// velmoractl devices | device-info [--preferred UID] | set-output UID: the device pickers' lists and
// defaults, the device description a recording would start with, and switching the default output.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"
#include "VelmoraCore/AudioCapture/Devices/DeviceInfo.h"

namespace {

using velmora::AudioDeviceID;

std::optional<std::string> uidOf(const std::function<AudioDeviceID()>& device) {
    try {
        return velmora::deviceUID(device());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void printOptions(const char* scope, const std::vector<velmora::AudioDeviceOption>& options) {
    for (const auto& option : options) {
        velmoractl::printLine(velmoractl::JsonObject()
                                  .string("scope", scope)
                                  .string("id", option.id)
                                  .string("name", option.name)
                                  .integer("transportType", option.transportType)
                                  .string("label", velmora::transportTypeDescription(option.transportType)));
    }
}

int devices(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {});
    if (!line.positional().empty()) {
        throw velmoractl::UsageError("devices takes no arguments");
    }
    printOptions("input", velmora::inputDeviceOptions());
    printOptions("output", velmora::outputDeviceOptions());
    std::optional<std::string> builtIn;
    if (auto device = velmora::builtInInputDevice()) {
        builtIn = uidOf([&] { return *device; });
    }
    velmoractl::printLine(velmoractl::JsonObject()
                              .string("scope", "defaults")
                              .optionalString("input", uidOf([] { return velmora::defaultInputDevice(); }))
                              .optionalString("output", uidOf([] { return velmora::defaultOutputDevice(); }))
                              .optionalString("builtInInput", builtIn));
    return velmoractl::exitSuccess;
}

int deviceInfo(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {"--preferred"});
    if (!line.positional().empty()) {
        throw velmoractl::UsageError("device-info takes only --preferred UID");
    }
    const auto info = velmora::DeviceInfo::current(line.option("--preferred"));
    velmoractl::printLine(
        velmoractl::JsonObject()
            .string("inputName", info.inputName)
            .string("outputName", info.outputName)
            .boolean("outputIsBuiltInSpeaker", info.outputIsBuiltInSpeaker)
            .boolean("inputSampleRateIsLow", info.inputSampleRateIsLow)
            .number("inputSampleRate", info.inputSampleRate)
            .boolean("inputWasRedirectedFromBluetooth", info.inputWasRedirectedFromBluetooth));
    return velmoractl::exitSuccess;
}

int setOutput(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {});
    if (line.positional().size() != 1) {
        throw velmoractl::UsageError("set-output takes one device UID");
    }
    const std::string& uid = line.positional().front();
    auto device = velmora::deviceWithUID(uid);
    if (!device) {
        throw velmoractl::InputError("no audio device has the UID " + uid);
    }
    velmora::setDefaultOutputDevice(*device);
    return velmoractl::exitSuccess;
}

const bool registeredDevices = velmoractl::registerCommandGroup({"devices", "devices", devices});
const bool registeredDeviceInfo =
    velmoractl::registerCommandGroup({"device-info", "device-info [--preferred UID]", deviceInfo});
const bool registeredSetOutput =
    velmoractl::registerCommandGroup({"set-output", "set-output UID", setOutput});

} // namespace
