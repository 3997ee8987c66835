#include "VelmoraCore/Settings/AppSettings.h"

#include "OrvaneCore/System/FileManager.h"

#include <stdexcept>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

AppSettings::AppSettings(std::shared_ptr<DefaultsStore> defaults)
    : saveDirectory_(standardSaveDirectory()), defaults_(std::move(defaults)),
      modelName_(defaults_->string(modelNameKey).value_or(defaultModelName)),
      vadThreshold_(defaults_->floatValue(vadThresholdKey).value_or(defaultVADThreshold)) {
    // Through the setter, so the key is written back (or removed) at once.
    setPreferredInputDeviceUID(defaults_->string(preferredInputDeviceUIDKey));
}

std::filesystem::path AppSettings::standardSaveDirectory() {
    return orvane::FileManager::documentsDirectory() / "ベルモラ";
}

void AppSettings::setModelName(std::string value) {
    modelName_.set(std::move(value));
    defaults_->setString(modelNameKey, modelName_.value());
}

void AppSettings::setVadThreshold(float value) {
    vadThreshold_.set(value);
    defaults_->setFloat(vadThresholdKey, vadThreshold_.value());
}

void AppSettings::setPreferredInputDeviceUID(std::optional<std::string> value) {
    preferredInputDeviceUID_.set(std::move(value));
    if (const auto& uid = preferredInputDeviceUID_.value()) {
        defaults_->setString(preferredInputDeviceUIDKey, *uid);
    } else {
        defaults_->remove(preferredInputDeviceUIDKey);
    }
}

void AppSettings::ensureSaveDirectoryExists() const {
    std::error_code error;
    fs::create_directories(saveDirectory_, error);
    if (error) {
        throw fs::filesystem_error("cannot create the save folder", saveDirectory_, error);
    }
    // create_directories leaves a file in the way unreported on some paths; a file is not a folder.
    if (!fs::is_directory(saveDirectory_)) {
        throw fs::filesystem_error("cannot create the save folder", saveDirectory_,
                                   std::make_error_code(std::errc::not_a_directory));
    }
}

} // namespace velmora
