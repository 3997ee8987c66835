#pragma once
// What the hub says about one repository file in answer to a HEAD probe. Known to callers as
// HubApi::FileMetadata.

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

struct HubFileMetadata {
    /// The repository commit the server resolved the revision to.
    std::optional<std::string> commitHash;
    /// The file's etag without a weak prefix and surrounding quotes.
    std::optional<std::string> etag;
    /// Where the server says the file lies; only checked for being non-empty.
    std::string location;
    /// The file's size in bytes.
    std::optional<std::int64_t> size;
};

} // namespace orvane
