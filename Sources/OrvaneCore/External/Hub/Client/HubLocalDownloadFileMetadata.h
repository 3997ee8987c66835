#pragma once
// What a download metadata file in the local mirror records about the file beside it. Known to callers
// as HubApi::LocalDownloadFileMetadata.

#include <string>

namespace orvane {

struct HubLocalDownloadFileMetadata {
    std::string commitHash;
    std::string etag;
    /// The metadata file's name with every ".metadata" removed: the downloaded file's own name.
    std::string filename;
    /// When the record was written, in seconds since 1970-01-01 00:00 UTC. Kept as the number read,
    /// since any number the record holds (even "inf") is accepted.
    double timestamp = 0;
};

} // namespace orvane
