#pragma once
// Brings one repository file at one revision into the local mirror, or proves that the copy already
// there is current, and records the remote commit and etag beside it so that a later run can skip the
// transfer after one HEAD request. Built for one file and one call of download().

#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "Platform/Net/Url.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace orvane {

class HubFileDownloader {
public:
    /// Fraction done (0 to 1) and the transfer rate in bytes per second when measured.
    using ProgressHandler = std::function<void(double fraction, std::optional<double> speed)>;

    static constexpr std::size_t chunkSize = 10'485'760;

    /// `repoMetadataDestination` is the repository's bookkeeping folder; `endpoint` absent means the
    /// hub's default one. Throws Hub::HubClientError downloadError for a file path that would leave the
    /// repository folder (absolute, or with a ".." segment).
    HubFileDownloader(HubApi hub, HubApi::Repo repo, std::string revision,
                      std::filesystem::path repoDestination, std::filesystem::path repoMetadataDestination,
                      std::string relativeFilename, std::optional<std::string> hfToken,
                      std::optional<std::string> endpoint, bool backgroundSession);

    /// <endpoint>[/datasets or /spaces]/<owner>/<name>/resolve/<revision as one segment>/<file path>.
    /// Throws Hub::HubClientError parseError when the endpoint is no http(s) address.
    net::Url source() const;

    std::filesystem::path destination() const;
    std::filesystem::path metadataPath() const;
    std::filesystem::path incompletePath(const std::string& etag) const;

    /// Creates the folder of the incomplete download file and an empty file unless one exists (its
    /// length is where the transfer resumes).
    static void prepareCacheDestination(const std::filesystem::path& incompleteFile);

    /// Returns the destination once the file there is current; its metadata is then written unless the
    /// record already matched the remote commit. Throws the probe's, the transfer's and the metadata
    /// errors, and CancellationError when `stop` is triggered. A failed or cancelled call writes no
    /// metadata and leaves the destination as it was. While another download of the same file runs
    /// (any process), the transfer waits for it and then takes the file it left when that is current.
    std::filesystem::path download(const ProgressHandler& progressHandler, std::stop_token stop = {});

private:
    void transfer(const net::Url& source, std::int64_t size, const std::string& etag,
                  const ProgressHandler& progressHandler, const std::stop_token& stop);

    HubApi hub_;
    HubApi::Repo repo_;
    std::string revision_;
    std::filesystem::path repoDestination_;
    std::filesystem::path repoMetadataDestination_;
    std::string relativeFilename_;
    std::optional<std::string> hfToken_;
    std::optional<std::string> endpoint_;
    bool backgroundSession_;
};

} // namespace orvane
