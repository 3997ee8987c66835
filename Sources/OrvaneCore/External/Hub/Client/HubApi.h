#pragma once
// The model-hub client: knows where the local mirror lives, which token and endpoint to use and whether
// to work offline; sends the hub's listing GET and HEAD probes with their status rules; reads and writes
// download metadata; reads configuration files. A small value: copies are cheap and independent, and
// every operation may be called from any thread.

#include "OrvaneCore/External/Hub/Client/HubClientError.h"
#include "OrvaneCore/External/Hub/Client/HubEnvironmentError.h"
#include "OrvaneCore/External/Hub/Client/HubFileMetadata.h"
#include "OrvaneCore/External/Hub/Client/HubLocalDownloadFileMetadata.h"
#include "OrvaneCore/External/Hub/Client/HubSiblingsResponse.h"
#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Hub/Network/HubNetworkMonitor.h"
#include "OrvaneCore/External/Hub/Network/RedirectSessionActor.h"
#include "OrvaneCore/External/Hub/Repositories/HubRepo.h"
#include "OrvaneCore/System/Progress.h"
#include "Platform/Net/HttpSession.h"
#include "Platform/Net/Url.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace orvane {

class HubApi {
public:
    using Repo = HubRepo;
    using RepoType = HubRepoType;
    using EnvironmentError = HubEnvironmentError;
    using FileMetadata = HubFileMetadata;
    using LocalDownloadFileMetadata = HubLocalDownloadFileMetadata;
    using Sibling = HubSibling;
    using SiblingsResponse = HubSiblingsResponse;
    using NetworkMonitor = HubNetworkMonitor;
    using NetworkStateActor = HubNetworkStateActor;

    /// The public hub, used when neither the argument nor HF_ENDPOINT names an endpoint.
    static constexpr const char* defaultEndpoint = "https://huggingface.co";

    /// Absent arguments take their defaults: the token from the environment and token files, the
    /// mirror "huggingface" in the documents folder, the endpoint from HF_ENDPOINT or the public hub. An empty
    /// token argument is a token (no header is sent for it). Starts the shared network monitor.
    explicit HubApi(std::optional<std::filesystem::path> downloadBase = std::nullopt,
                    std::optional<std::string> hfToken = std::nullopt,
                    std::optional<std::string> endpoint = std::nullopt, bool useBackgroundSession = false,
                    std::optional<bool> useOfflineMode = std::nullopt);

    /// Root folder of the local mirror.
    std::filesystem::path downloadBase;
    /// Access token; absent means anonymous requests.
    std::optional<std::string> hfToken;
    /// Base address of the hub, as given.
    std::string endpoint;
    /// Accepted for the downloads; this platform has no background transfer service.
    bool useBackgroundSession = false;
    /// true forces offline snapshots, false online ones; absent lets the shared monitor decide.
    std::optional<bool> useOfflineMode;
    std::string sha256Pattern = "^[0-9a-f]{64}$";
    std::string commitHashPattern = "^[0-9a-f]{40}$";

    /// downloadBase/<kind>/<owner>/<name>: where the repository's files lie.
    std::filesystem::path localRepoLocation(const Repo& repo) const;
    /// The repository folder's bookkeeping folder, ".cache/huggingface/download".
    std::filesystem::path metadataFolder(const Repo& repo) const;

    /// endpoint/api/<kind>/<owner>/<name>/revision/<revision>, the revision escaped as one segment.
    /// Throws Hub::HubClientError::parseError when the endpoint is no http(s) address.
    net::Url listingUrl(const Repo& repo, const std::string& revision) const;
    /// The endpoint as an address; throws like listingUrl.
    net::Url endpointUrl() const;

    /// GET with the token, following redirects. 2xx gives the body and answer; 401/403
    /// authorizationRequired; 404 fileNotFound(last path component); other statuses httpStatusCode;
    /// transport failures downloadError(description). A stop request throws CancellationError.
    net::HttpData httpGet(const net::Url& url, std::stop_token stop = {}) const;

    /// HEAD with the token and "Accept-Encoding: identity" through the redirect session: 2xx and 3xx are
    /// answers, other statuses map as for GET; transport failures pass as net::UrlError.
    net::HttpResponse httpHead(const net::Url& url, std::stop_token stop = {}) const;

    /// The repository's file paths at the revision: all of them in listing order without patterns,
    /// otherwise each path matching at least one glob once, in listing order. Always asks the network.
    std::vector<std::string> getFilenames(const Repo& repo, const std::string& revision = "main",
                                          const std::vector<std::string>& globs = {},
                                          std::stop_token stop = {}) const;
    /// What getFilenames gives for a listing's names and these globs.
    static std::vector<std::string> filenamesMatching(std::vector<std::string> names,
                                                      const std::vector<std::string>& globs);

    /// HEAD probe of a file: commit, normalised etag, location (the "Location" of a 302, else the
    /// answering address) and size ("X-Linked-Size", else "Content-Length", strictly decimal).
    FileMetadata getFileMetadata(const net::Url& url, std::stop_token stop = {}) const;
    /// What getFileMetadata reads from a probe's answer to a request for `requested`.
    static FileMetadata fileMetadata(const net::HttpResponse& response, const net::Url& requested);

    /// Removes one leading "W/" and every '"' at both ends.
    static std::optional<std::string> normalizeEtag(const std::optional<std::string>& etag);
    /// An optional sign and ASCII digits only, within signed 64 bits; nothing otherwise.
    static std::optional<std::int64_t> parseSize(const std::optional<std::string>& text);

    /// Reads a JSON configuration file; its top level must be an object. Unreadable file: FileReadError;
    /// not JSON: Hub::HubClientError::jsonSerialization; another top level: Hub::HubClientError::parse.
    Config configuration(const std::filesystem::path& fileURL) const;

    /// The file's download record, or nothing when there is none or a damaged one was removed (and
    /// logged). Throws EnvironmentError when a damaged record cannot be removed.
    std::optional<LocalDownloadFileMetadata> readDownloadMetadata(const std::filesystem::path& metadataPath) const;
    /// Writes the three-line record stamped with the current time, atomically; throws EnvironmentError.
    void writeDownloadMetadata(const std::string& commitHash, const std::string& etag,
                               const std::filesystem::path& metadataPath) const;
    /// SHA-256 of the file as 64 lower-case hex digits; Hub::HubClientError::fileNotFound when it cannot
    /// be opened.
    static std::string computeFileHash(const std::filesystem::path& file);

    /// Receives a snapshot's parent progress: one child of 100 units per file, so its fraction is the
    /// mean of the files' fractions; the transfer rate, when measured, rides along as its throughput.
    using ProgressHandler = std::function<void(const Progress&)>;

    /// Makes the repository files that match the globs available in the mirror and returns the
    /// repository folder. Offline when useOfflineMode says so, or when it is absent and the shared
    /// network state finds the network unusable: then nothing is sent, and every matching local file must
    /// have its download record (and still hash to a SHA-256 etag), else EnvironmentError. Online the
    /// listed files are brought up to date one after another; the listing's and downloads' errors pass
    /// through, and a stop request throws CancellationError (files completed before it stay). When the
    /// network state decided (useOfflineMode absent) and the hub cannot be reached, a local copy that
    /// passes completeLocalSnapshot is used instead, logged at info; a local copy that does not gives a
    /// network error with the transport's code that also says why the copy cannot stand in. Every listing
    /// with files to fetch is recorded in the mirror first (see completeLocalSnapshot).
    std::filesystem::path snapshot(const Repo& repo, const std::string& revision = "main",
                                   const std::vector<std::string>& globs = {},
                                   const ProgressHandler& progressHandler = {}, std::stop_token stop = {}) const;

    /// The offline half of snapshot: touches no network and proves that the mirror can stand in for the
    /// repository (matching local files present, each with its download record, a SHA-256 etag still
    /// matching), else EnvironmentError. Returns the repository folder.
    std::filesystem::path localSnapshot(const Repo& repo, const std::vector<std::string>& globs = {}) const;

    /// localSnapshot, and besides every file that the repository's recorded listing names and the globs
    /// match must lie in the mirror with its download record, else offlineModeError "Incomplete local
    /// copy: <path> is missing" (or "... has no download record"): what may stand in for the repository
    /// when the hub cannot be reached. The listing is the one the last online snapshot with files to fetch
    /// received, whatever its globs, kept in the repository folder as ".cache/huggingface/listing.json"; a
    /// mirror without one (filled before listings were recorded) is held to localSnapshot alone. Never sends.
    std::filesystem::path completeLocalSnapshot(const Repo& repo,
                                                const std::vector<std::string>& globs = {}) const;

    /// The paths, relative to the repository folder, of the local files matching at least one glob (all
    /// without globs), hidden entries left out. Touches no network; a missing folder gives none.
    std::vector<std::string> localFilenames(const Repo& repo,
                                            const std::vector<std::string>& globs = {}) const;

    /// The "Authorization" value for a token: "Bearer " and the token without surrounding white space;
    /// nothing for an absent or blank token, or one holding a line break or another control character
    /// (which would break or inject header lines).
    static std::optional<std::string> authorizationHeader(const std::optional<std::string>& token);

    /// The session of every HEAD probe in the process.
    static RedirectSessionActor& redirectSession();

private:
    static std::optional<std::string> hfTokenFromEnv();
};

} // namespace orvane
