#include "Sonavex/Core/Models/ModelSupportConfig.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "OrvaneCore/Extensions/ArrayExtensions.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

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

void requireArray(const json::Json& value, std::string_view expected, std::string_view context) {
    if (!value.is_array()) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::typeMismatch,
                                    "Expected to decode " + std::string(expected) + " for " + std::string(context) +
                                        " but found " + (value.is_object() ? "a dictionary" : "a single value") +
                                        " instead.");
    }
}

std::vector<std::string> stringArray(const json::Json& value, std::string_view context) {
    requireArray(value, "Array<String>", context);
    std::vector<std::string> strings;
    for (const json::Json& element : value) {
        strings.push_back(json::toString(element, context));
    }
    return strings;
}

DeviceSupport deviceSupportFromJson(const json::Json& value) {
    const json::Json& object = json::requireObject(value, "DeviceSupport");
    DeviceSupport row;
    if (const json::Json* chips = json::optional(object, "chips")) {
        row.chips = json::toString(*chips, json::keyContext("chips"));
    }
    row.identifiers = stringArray(json::required(object, "identifiers"), json::keyContext("identifiers"));
    const json::Json& models = json::requireObject(json::required(object, "models"), "ModelSupport");
    row.models.defaultModel = json::toString(json::required(models, "default"), json::keyContext("default"));
    row.models.supported = stringArray(json::required(models, "supported"), json::keyContext("supported"));
    return row;
}

json::Json deviceSupportToJson(const DeviceSupport& row) {
    json::Json object = json::Json::object();
    if (row.chips) {
        object["chips"] = *row.chips;
    }
    object["identifiers"] = row.identifiers;
    object["models"] = {{"default", row.models.defaultModel}, {"supported", row.models.supported}};
    return object;
}

} // namespace

ModelSupportConfig ModelSupportConfig::fromJson(std::string_view text) {
    const json::Json document = json::parseDocument(text);
    const json::Json& object = json::requireObject(document, "ModelSupportConfig");
    std::string name = json::toString(json::required(object, "name"), json::keyContext("name"));
    std::string version = json::toString(json::required(object, "version"), json::keyContext("version"));
    const json::Json& rows = json::required(object, "device_support");
    requireArray(rows, "Array<DeviceSupport>", json::keyContext("device_support"));
    std::vector<DeviceSupport> deviceSupports;
    for (const json::Json& row : rows) {
        deviceSupports.push_back(deviceSupportFromJson(row));
    }
    return ModelSupportConfig(std::move(name), std::move(version), std::move(deviceSupports), true);
}

std::string ModelSupportConfig::toJson() const {
    json::Json rows = json::Json::array();
    for (const DeviceSupport& row : deviceSupports) {
        rows.push_back(deviceSupportToJson(row));
    }
    json::Json object = json::Json::object();
    object["name"] = repoName;
    object["version"] = repoVersion;
    object["device_support"] = std::move(rows);
    return object.dump();
}

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
