#pragma once
// The user's few settings, read from a defaults store at start-up and written back on every change,
// published so that views follow them; and the fixed folder that holds all recordings.
// Main thread only.

#include "VelmoraCore/Observable.h"
#include "VelmoraCore/Settings/DefaultsStore.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

class AppSettings {
public:
    static constexpr const char* defaultModelName = "large-v3-v20240930_turbo_632MB";
    static constexpr float defaultVADThreshold = 0.02f;
    /// The thresholds the settings window offers; the store itself takes any value.
    static constexpr float lowestVADThreshold = 0.005f;
    static constexpr float highestVADThreshold = 0.1f;

    static constexpr const char* modelNameKey = "modelName";
    static constexpr const char* vadThresholdKey = "vadThreshold";
    static constexpr const char* preferredInputDeviceUIDKey = "preferredInputDeviceUID";

    /// Reads the settings (a missing or mistyped value gives the default) and writes the preferred
    /// input back at once: the same string again, or the key removed when there is none.
    explicit AppSettings(std::shared_ptr<DefaultsStore> defaults);

    DefaultsStore& defaults() const { return *defaults_; }

    /// The documents folder + "ベルモラ". Not created here.
    const std::filesystem::path& saveDirectory() const { return saveDirectory_; }
    /// The same folder without reading (or writing back) any setting.
    static std::filesystem::path standardSaveDirectory();

    /// The speech-model variant to load.
    const Observable<std::string>& modelName() const { return modelName_; }
    /// The energy threshold of voice-activity detection.
    const Observable<float>& vadThreshold() const { return vadThreshold_; }
    /// The chosen microphone's UID; none means the system's default input.
    const Observable<std::optional<std::string>>& preferredInputDeviceUID() const {
        return preferredInputDeviceUID_;
    }

    /// Each setter publishes the value, then stores it. No value is checked.
    void setModelName(std::string value);
    void setVadThreshold(float value);
    void setPreferredInputDeviceUID(std::optional<std::string> value);

    /// Creates the save folder with any missing parents; an existing folder is success. Throws
    /// std::filesystem::filesystem_error unchanged.
    void ensureSaveDirectoryExists() const;

private:
    std::filesystem::path saveDirectory_;
    std::shared_ptr<DefaultsStore> defaults_;
    Observable<std::string> modelName_;
    Observable<float> vadThreshold_;
    Observable<std::optional<std::string>> preferredInputDeviceUID_;
};

} // namespace velmora
