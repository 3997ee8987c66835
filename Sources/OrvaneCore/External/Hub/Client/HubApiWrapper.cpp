#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"

#include "OrvaneCore/External/Hub/Repositories/RepoJson.h"

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

std::string HubApiWrapper::toJson(RepoType type) { return orvane::toJson(toHubRepoType(type)); }

HubApiWrapper::RepoType HubApiWrapper::repoTypeFromJson(std::string_view json) {
    return fromHubRepoType(hubRepoTypeFromJson(json));
}

HubRepo HubApiWrapper::Repo::hubRepo() const { return HubRepo{id, toHubRepoType(type)}; }

std::string HubApiWrapper::Repo::toJson() const { return encodeRepoJson(id, rawValue(type)); }

HubApiWrapper::Repo HubApiWrapper::Repo::fromJson(std::string_view json) {
    auto [id, type] = decodeRepoJson(json);
    return Repo(std::move(id), fromHubRepoType(type));
}

HubApiWrapper::HubApiWrapper(std::optional<std::filesystem::path> downloadBase, std::optional<std::string> hfToken,
                             std::optional<std::string> endpoint, bool useBackgroundSession)
    : impl(std::move(downloadBase), std::move(hfToken), std::move(endpoint), useBackgroundSession, std::nullopt) {}

std::filesystem::path HubApiWrapper::snapshot(const Repo& repo, const std::string& revision,
                                              const std::vector<std::string>& globs,
                                              const HubApi::ProgressHandler& progressHandler,
                                              std::stop_token stop) const {
    return impl.snapshot(repo.hubRepo(), revision, globs, progressHandler, std::move(stop));
}

std::vector<std::string> HubApiWrapper::getFilenames(const Repo& repo, const std::string& revision,
                                                     const std::vector<std::string>& globs,
                                                     std::stop_token stop) const {
    return impl.getFilenames(repo.hubRepo(), revision, globs, std::move(stop));
}

std::filesystem::path HubApiWrapper::localSnapshot(const Repo& repo,
                                                   const std::vector<std::string>& globs) const {
    return impl.localSnapshot(repo.hubRepo(), globs);
}

std::vector<std::string> HubApiWrapper::localFilenames(const Repo& repo,
                                                       const std::vector<std::string>& globs) const {
    return impl.localFilenames(repo.hubRepo(), globs);
}

std::filesystem::path HubApiWrapper::localRepoLocation(const Repo& repo) const {
    return impl.localRepoLocation(repo.hubRepo());
}

const HubApiWrapper& HubApiWrapper::shared() {
    static const HubApiWrapper wrapper;
    return wrapper;
}

} // namespace orvane
