#pragma once
// A hub repository: its identifier ("owner/name") and kind. Known to callers as HubApi::Repo. Its JSON
// form is an object with exactly the keys "id" and "type" (the kind's raw value).

#include "OrvaneCore/External/Hub/Repositories/HubRepoType.h"

#include <cstddef>
#include <functional>
#include <string>

namespace orvane {

struct HubRepo {
    std::string id;
    HubRepoType type = HubRepoType::models;

    bool operator==(const HubRepo&) const = default;

    std::string toJson() const;
    /// Throws DecodingError when "id" or "type" is missing, or "type" is not a known kind.
    static HubRepo fromJson(std::string_view json);
};

} // namespace orvane

template <> struct std::hash<orvane::HubRepo> {
    std::size_t operator()(const orvane::HubRepo& repo) const noexcept {
        std::size_t h = std::hash<std::string>{}(repo.id);
        return h ^ (std::hash<std::string>{}(orvane::rawValue(repo.type)) + 0x9e3779b97f4a7c15ULL + (h << 6) +
                    (h >> 2));
    }
};
