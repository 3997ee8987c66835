#pragma once
// The hub's answer to a repository listing: {"siblings": [{"rfilename": "<path>"}, ...]}; other keys
// are ignored. Known to callers as HubApi::SiblingsResponse and HubApi::Sibling.

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct HubSibling {
    /// A file's path from the repository root, "/"-separated.
    std::string rfilename;
};

struct HubSiblingsResponse {
    std::vector<HubSibling> siblings;

    /// Throws DecodingError when the text is not JSON, "siblings" is missing or not an array, or an
    /// element lacks a string "rfilename".
    static HubSiblingsResponse decode(std::string_view json);
    std::string encode() const;
};

} // namespace orvane
