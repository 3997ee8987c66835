#pragma once
// The one entry to the model hub for code outside the hub client. For now it holds the repository
// reference types callers name a repository with; they map onto the hub client's own.

#include "OrvaneCore/External/Hub/HubRepo.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class HubApiWrapper {
public:
    enum class RepoType { models, datasets, spaces };

    /// "models", "datasets" or "spaces".
    static std::string rawValue(RepoType type);
    /// Exactly one of the three raw values (case-sensitive); nothing otherwise.
    static std::optional<RepoType> repoTypeFromRawValue(std::string_view raw);

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
};

} // namespace orvane

template <> struct std::hash<orvane::HubApiWrapper::Repo> {
    std::size_t operator()(const orvane::HubApiWrapper::Repo& repo) const noexcept {
        return std::hash<orvane::HubRepo>{}(repo.hubRepo());
    }
};
