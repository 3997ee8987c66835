#include "OrvaneCore/External/Hub/Repositories/HubRepoType.h"

namespace orvane {

std::string rawValue(HubRepoType type) {
    switch (type) {
    case HubRepoType::datasets:
        return "datasets";
    case HubRepoType::spaces:
        return "spaces";
    case HubRepoType::models:
        break;
    }
    return "models";
}

std::optional<HubRepoType> hubRepoTypeFromRawValue(std::string_view raw) {
    if (raw == "models") {
        return HubRepoType::models;
    }
    if (raw == "datasets") {
        return HubRepoType::datasets;
    }
    if (raw == "spaces") {
        return HubRepoType::spaces;
    }
    return std::nullopt;
}

} // namespace orvane
