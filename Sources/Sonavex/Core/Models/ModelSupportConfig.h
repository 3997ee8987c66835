#pragma once
// Which model variants a device may run and which one it should: rows of device identifier prefixes,
// looked up by the longest prefix of a device's hardware-model identifier. A configuration fetched from
// the model repository whose name belongs to the built-in table is merged with it, so that devices the
// remote file does not know still get rows.

#include <string>
#include <string_view>
#include <vector>

#include "Sonavex/Core/Models/DeviceSupport.h"

namespace sonavex {

class ModelSupportConfig {
public:
    /// Stores the rows (merged with the built-in table when `includeFallback` is set and the built-in
    /// table's name contains `repoName`), then derives the known models, the default row and every row's
    /// disabled models.
    ModelSupportConfig(std::string repoName, std::string repoVersion, std::vector<DeviceSupport> deviceSupports,
                       bool includeFallback);

    /// Decodes {"name", "version", "device_support"} and merges as the constructor does with the
    /// fallback included. A missing or mistyped key throws orvane::DecodingError.
    static ModelSupportConfig fromJson(std::string_view json);
    /// {"name", "version", "device_support"} with the rows as they stand; disabled models are not written.
    std::string toJson() const;

    /// The remote rows (each widened by the supported models of the first built-in row that shares an
    /// identifier with it), then the built-in rows no remote row shares an identifier with.
    static std::vector<DeviceSupport> mergeDeviceSupport(const std::vector<DeviceSupport>& remote,
                                                         const std::vector<DeviceSupport>& fallback);

    /// Every row's disabled models: the known models it does not support.
    void computeDisabledModels();

    /// The models of the row with the longest identifier that prefixes `deviceName` (the earlier row on a
    /// tie), else those of the default row. Logs which row matched.
    ModelSupport modelSupport(const std::string& deviceName) const;

    std::string repoName;
    std::string repoVersion;
    std::vector<DeviceSupport> deviceSupports;
    /// Derived: every row's supported models, first occurrences in row order.
    std::vector<std::string> knownModels;
    /// Derived: the row for devices no row covers ("openai_whisper-base", every known model supported).
    DeviceSupport defaultSupport;

private:
    void deriveModels();
};

} // namespace sonavex
