// velmoractl settings: the user's settings as the application sees them, through AppSettings on the
// standard defaults store (so its start-up write-back happens here too).

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/Settings/AppSettings.h"


namespace {

using velmoractl::UsageError;

void printSettings(const velmora::AppSettings& settings) {
    velmoractl::printLine(velmoractl::JsonObject()
                              .string("modelName", settings.modelName().value())
                              .number("vadThreshold", settings.vadThreshold().value())
                              .optionalString("preferredInputDeviceUID", settings.preferredInputDeviceUID().value())
                              .string("saveDirectory", settings.saveDirectory().string()));
}

void expectCount(const velmoractl::Arguments& arguments, std::size_t count) {
    if (arguments.size() != count) {
        throw UsageError("wrong number of arguments for settings " + arguments[0]);
    }
}

int run(const velmoractl::Arguments& arguments) {
    if (arguments.empty()) {
        throw UsageError("missing command");
    }
    const std::string& command = arguments[0];
    if (command == "show") {
        expectCount(arguments, 1);
        printSettings(velmora::AppSettings(velmora::DefaultsStore::standard()));
        return velmoractl::exitSuccess;
    }
    if (command == "set") {
        expectCount(arguments, 3);
        const std::string& key = arguments[1];
        const std::string& value = arguments[2];
        if (key != velmora::AppSettings::modelNameKey && key != velmora::AppSettings::vadThresholdKey &&
            key != velmora::AppSettings::preferredInputDeviceUIDKey) {
            throw UsageError("unknown setting " + key);
        }
        const float threshold = key == velmora::AppSettings::vadThresholdKey
                                    ? velmoractl::vadThresholdArgument("vadThreshold", value)
                                    : 0;
        if (key == velmora::AppSettings::modelNameKey &&
            value.find_first_not_of(" \t\n\v\f\r") == std::string::npos) {
            throw UsageError("modelName needs a model name, not an empty or blank text");
        }
        velmora::AppSettings settings(velmora::DefaultsStore::standard());
        if (key == velmora::AppSettings::modelNameKey) {
            settings.setModelName(value);
        } else if (key == velmora::AppSettings::vadThresholdKey) {
            settings.setVadThreshold(threshold);
        } else {
            settings.setPreferredInputDeviceUID(value);
        }
        printSettings(settings);
        return velmoractl::exitSuccess;
    }
    if (command == "unset") {
        expectCount(arguments, 2);
        if (arguments[1] != velmora::AppSettings::preferredInputDeviceUIDKey) {
            throw UsageError("only preferredInputDeviceUID can be unset");
        }
        velmora::AppSettings settings(velmora::DefaultsStore::standard());
        settings.setPreferredInputDeviceUID(std::nullopt);
        printSettings(settings);
        return velmoractl::exitSuccess;
    }
    if (command == "ensure-save-dir") {
        expectCount(arguments, 1);
        velmora::AppSettings settings(velmora::DefaultsStore::standard());
        settings.ensureSaveDirectoryExists();
        velmoractl::printLine(velmoractl::JsonObject().string("saveDirectory", settings.saveDirectory().string()));
        return velmoractl::exitSuccess;
    }
    throw UsageError("unknown command settings " + command);
}

const bool registered = velmoractl::registerCommandGroup(
    {"settings",
     "settings show\n"
     "settings set modelName|vadThreshold|preferredInputDeviceUID VALUE\n"
     "settings unset preferredInputDeviceUID\n"
     "settings ensure-save-dir",
     run});

} // namespace
