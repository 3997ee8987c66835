#include "OrvaneCore/External/Hub/Repositories/HubRepo.h"

#include "OrvaneCore/External/Hub/Repositories/RepoJson.h"

namespace orvane {

std::string HubRepo::toJson() const {
    return encodeRepoJson(id, rawValue(type));
}

HubRepo HubRepo::fromJson(std::string_view json) {
    auto [id, type] = decodeRepoJson(json);
    return HubRepo{std::move(id), type};
}

} // namespace orvane
