#include "Sonavex/Core/Models/ModelSupportConfig.h"

#include "OrvaneCore/Extensions/ArrayExtensions.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "Sonavex/Core/Constants.h"

#include <unordered_set>

namespace sonavex {
namespace {

constexpr const char* kDefaultModel = "openai_whisper-base";

bool sharesIdentifier(const DeviceSupport& row, const std::unordered_set<std::string>& identifiers) {
    for (const std::string& identifier : row.identifiers) {
        if (identifiers.count(identifier)) {
            return true;
        }
    }
    return false;
}

// ["a", "b"]
std::string arrayLiteral(const std::vector<std::string>& items) {
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        text += (i ? ", \"" : "\"") + items[i] + "\"";
    }
    return text + "]";
}

} // namespace

ModelSupportConfig::ModelSupportConfig(std::string repoName, std::string repoVersion,
                                       std::vector<DeviceSupport> deviceSupports, bool includeFallback)
    : repoName(std::move(repoName)), repoVersion(std::move(repoVersion)) {
    const ModelSupportConfig* fallback = includeFallback ? &Constants::fallbackModelSupportConfig() : nullptr;
    if (fallback && fallback->repoName.find(this->repoName) != std::string::npos) {
        this->deviceSupports = mergeDeviceSupport(deviceSupports, fallback->deviceSupports);
    } else {
        this->deviceSupports = std::move(deviceSupports);
    }
    deriveModels();
}

void ModelSupportConfig::deriveModels() {
    std::vector<std::string> all;
    for (const DeviceSupport& row : deviceSupports) {
        all.insert(all.end(), row.models.supported.begin(), row.models.supported.end());
    }
    knownModels = orvane::orderedSet(all);
    defaultSupport = DeviceSupport{std::nullopt, {}, ModelSupport{kDefaultModel, knownModels, {}}};
    computeDisabledModels();
}

std::vector<DeviceSupport> ModelSupportConfig::mergeDeviceSupport(const std::vector<DeviceSupport>& remote,
                                                                  const std::vector<DeviceSupport>& fallback) {
    std::unordered_set<std::string> remoteIdentifiers;
    for (const DeviceSupport& row : remote) {
        remoteIdentifiers.insert(row.identifiers.begin(), row.identifiers.end());
    }
    std::vector<DeviceSupport> merged;
    for (const DeviceSupport& row : remote) {
        const std::unordered_set<std::string> own(row.identifiers.begin(), row.identifiers.end());
        const DeviceSupport* match = nullptr;
        for (const DeviceSupport& candidate : fallback) {
            if (sharesIdentifier(candidate, own)) {
                match = &candidate;
                break;
            }
        }
        if (!match) {
            merged.push_back(row);
            continue;
        }
        std::vector<std::string> supported = row.models.supported;
        supported.insert(supported.end(), match->models.supported.begin(), match->models.supported.end());
        merged.push_back(DeviceSupport{row.chips, row.identifiers,
                                       ModelSupport{row.models.defaultModel, orvane::orderedSet(supported), {}}});
    }
    for (const DeviceSupport& row : fallback) {
        if (!sharesIdentifier(row, remoteIdentifiers)) {
            merged.push_back(row);
        }
    }
    return merged;
}

void ModelSupportConfig::computeDisabledModels() {
    for (DeviceSupport& row : deviceSupports) {
        const std::unordered_set<std::string> supported(row.models.supported.begin(), row.models.supported.end());
        row.models.disabled.clear();
        for (const std::string& model : knownModels) {
            if (!supported.count(model)) {
                row.models.disabled.push_back(model);
            }
        }
    }
}

ModelSupport ModelSupportConfig::modelSupport(const std::string& deviceName) const {
    const DeviceSupport* best = nullptr;
    size_t bestLength = 0;
    for (const DeviceSupport& row : deviceSupports) {
        for (const std::string& identifier : row.identifiers) {
            if (deviceName.compare(0, identifier.size(), identifier) != 0) {
                continue;
            }
            const size_t length = orvane::text::graphemeCount(identifier);
            if (!best || length > bestLength) {
                best = &row;
                bestLength = length;
            }
        }
    }
    if (best) {
        orvane::Logging::debug("Matched " + deviceName + " to devices: " + arrayLiteral(best->identifiers));
        return best->models;
    }
    orvane::Logging::info("No device support found for " + deviceName + ", using default");
    return defaultSupport.models;
}

} // namespace sonavex
