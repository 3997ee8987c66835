#include "OrvaneCore/External/Hub/HubApiWrapper.h"

#include "OrvaneCore/External/Hub/RepoJson.h"

namespace orvane {

namespace {
HubRepoType toHubRepoType(HubApiWrapper::RepoType type) {
    switch (type) {
    case HubApiWrapper::RepoType::datasets:
        return HubRepoType::datasets;
    case HubApiWrapper::RepoType::spaces:
        return HubRepoType::spaces;
    case HubApiWrapper::RepoType::models:
        break;
    }
    return HubRepoType::models;
}

HubApiWrapper::RepoType fromHubRepoType(HubRepoType type) {
    switch (type) {
    case HubRepoType::datasets:
        return HubApiWrapper::RepoType::datasets;
    case HubRepoType::spaces:
        return HubApiWrapper::RepoType::spaces;
    case HubRepoType::models:
        break;
    }
    return HubApiWrapper::RepoType::models;
}
} // namespace

std::string HubApiWrapper::rawValue(RepoType type) { return orvane::rawValue(toHubRepoType(type)); }

std::optional<HubApiWrapper::RepoType> HubApiWrapper::repoTypeFromRawValue(std::string_view raw) {
    auto type = hubRepoTypeFromRawValue(raw);
    return type ? std::optional<RepoType>(fromHubRepoType(*type)) : std::nullopt;
}

HubRepo HubApiWrapper::Repo::hubRepo() const { return HubRepo{id, toHubRepoType(type)}; }

std::string HubApiWrapper::Repo::toJson() const { return encodeRepoJson(id, rawValue(type)); }

HubApiWrapper::Repo HubApiWrapper::Repo::fromJson(std::string_view json) {
    auto [id, type] = decodeRepoJson(json);
    return Repo(std::move(id), fromHubRepoType(type));
}

} // namespace orvane
