#pragma once
// The one entry to the model hub for code outside the hub client: one hub client built with the offline
// mode left open, so that every snapshot lets the shared network state decide, and the repository
// reference types callers name a repository with (they map onto the hub client's own). An immutable value.

#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/External/Hub/Repositories/HubRepo.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class HubApiWrapper {
public:
    enum class RepoType { models, datasets, spaces };

    /// "models", "datasets" or "spaces".
    static std::string rawValue(RepoType type);
    /// Exactly one of the three raw values (case-sensitive); nothing otherwise.
    static std::optional<RepoType> repoTypeFromRawValue(std::string_view raw);
    /// The kind's JSON form: its raw value as a JSON string.
    static std::string toJson(RepoType type);
    /// Throws DecodingError when the text is no JSON string or not one of the three raw values.
    static RepoType repoTypeFromJson(std::string_view json);

    struct Repo {
        Repo(std::string id, RepoType type = RepoType::models) : id(std::move(id)), type(type) {}

        std::string id;
        RepoType type;

        bool operator==(const Repo&) const = default;

        /// The hub client's reference: same identifier, same kind.
        HubRepo hubRepo() const;

        /// {"id": ..., "type": ...}
        std::string toJson() const;
        /// Throws DecodingError when "id" or "type" is missing or "type" is not a known kind.
        static Repo fromJson(std::string_view json);
    };

    /// Absent arguments take the client's defaults (mirror "huggingface" in the documents folder, token from the
    /// environment and token files, endpoint from HF_ENDPOINT or the public hub). Sends nothing.
    explicit HubApiWrapper(std::optional<std::filesystem::path> downloadBase = std::nullopt,
                           std::optional<std::string> hfToken = std::nullopt,
                           std::optional<std::string> endpoint = std::nullopt, bool useBackgroundSession = false);

    /// The client's snapshot (see HubApi::snapshot): the repository's local folder, the same one
    /// localRepoLocation gives. Every error of the client passes through.
    std::filesystem::path snapshot(const Repo& repo, const std::string& revision,
                                   const std::vector<std::string>& globs,
                                   const HubApi::ProgressHandler& progressHandler = {},
                                   std::stop_token stop = {}) const;

    /// The listed file names matching at least one glob; always asks the hub.
    std::vector<std::string> getFilenames(const Repo& repo, const std::string& revision,
                                          const std::vector<std::string>& globs, std::stop_token stop = {}) const;

    /// The client's offline check (see HubApi::localSnapshot): the repository folder when the mirror can
    /// stand in for the repository's matching files, else the client's EnvironmentError. Never sends.
    std::filesystem::path localSnapshot(const Repo& repo, const std::vector<std::string>& globs) const;

    /// The matching file paths the mirror holds for the repository; never sends.
    std::vector<std::string> localFilenames(const Repo& repo, const std::vector<std::string>& globs) const;

    /// downloadBase/<kind>/<owner>/<name>, without touching the disk or the network.
    std::filesystem::path localRepoLocation(const Repo& repo) const;

    /// A wrapper with every default, made on first use. Nothing in the system needs it.
    static const HubApiWrapper& shared();

    HubApi impl;
};

} // namespace orvane

template <> struct std::hash<orvane::HubApiWrapper::Repo> {
    std::size_t operator()(const orvane::HubApiWrapper::Repo& repo) const noexcept {
        return std::hash<orvane::HubRepo>{}(repo.hubRepo());
    }
};
