#include "OrvaneCore/External/Hub/Download/HubFileDownloader.h"

#include "OrvaneCore/Concurrency/FileLock.h"
#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/External/Hub/Client/HubPatternMatch.h"
#include "OrvaneCore/External/Hub/Download/Downloader.h"

#include <fstream>

namespace orvane {

namespace fs = std::filesystem;

namespace {

bool staysInside(const std::string& relativePath) {
    if (relativePath.empty() || relativePath.front() == '/') {
        return false;
    }
    for (const auto& part : fs::path(relativePath)) {
        if (part == "..") {
            return false;
        }
    }
    return true;
}

/// The etag as part of a file name: a "/" in it would name another folder.
std::string fileNamePiece(const std::string& etag) {
    std::string piece;
    for (char c : etag) {
        if (c == '/') {
            piece += "%2F";
        } else if (c != '\0') {
            piece += c;
        }
    }
    return piece;
}

} // namespace

HubFileDownloader::HubFileDownloader(HubApi hub, HubApi::Repo repo, std::string revision,
                                     fs::path repoDestination, fs::path repoMetadataDestination,
                                     std::string relativeFilename, std::optional<std::string> hfToken,
                                     std::optional<std::string> endpoint, bool backgroundSession)
    : hub_(std::move(hub)), repo_(std::move(repo)), revision_(std::move(revision)),
      repoDestination_(std::move(repoDestination)),
      repoMetadataDestination_(std::move(repoMetadataDestination)),
      relativeFilename_(std::move(relativeFilename)), hfToken_(std::move(hfToken)),
      endpoint_(std::move(endpoint)), backgroundSession_(backgroundSession) {
    // The name comes from the hub's listing: it must not write outside the repository folder.
    if (!staysInside(relativeFilename_)) {
        throw Hub::HubClientError::downloadError("the repository file path \"" + relativeFilename_ +
                                                 "\" leads outside the repository folder");
    }
}

net::Url HubFileDownloader::source() const {
    HubApi withEndpoint = hub_;
    withEndpoint.endpoint = endpoint_.value_or(HubApi::defaultEndpoint);
    net::Url url = withEndpoint.endpointUrl();
    if (repo_.type == HubApi::RepoType::datasets) {
        url = url.appendingPathComponent("datasets");
    } else if (repo_.type == HubApi::RepoType::spaces) {
        url = url.appendingPathComponent("spaces");
    }
    return url.appendingPath(repo_.id)
        .appendingPathComponent("resolve")
        .appendingPathComponent(revision_)
        .appendingPath(relativeFilename_);
}

fs::path HubFileDownloader::destination() const {
    return repoDestination_ / relativeFilename_;
}

fs::path HubFileDownloader::metadataPath() const {
    return repoMetadataDestination_ / (relativeFilename_ + ".metadata");
}

fs::path HubFileDownloader::incompletePath(const std::string& etag) const {
    return repoMetadataDestination_ / (relativeFilename_ + "." + fileNamePiece(etag) + ".incomplete");
}

void HubFileDownloader::prepareCacheDestination(const fs::path& incompleteFile) {
    fs::create_directories(incompleteFile.parent_path());
    if (!fs::exists(incompleteFile)) {
        std::ofstream created(incompleteFile, std::ios::binary);
        if (!created) {
            throw fs::filesystem_error("cannot create the incomplete download file", incompleteFile,
                                       std::make_error_code(std::errc::io_error));
        }
    }
}

fs::path HubFileDownloader::download(const ProgressHandler& progressHandler, std::stop_token stop) {
    const auto local = hub_.readDownloadMetadata(metadataPath());
    const net::Url url = source();
    const HubApi::FileMetadata remote = hub_.getFileMetadata(url, stop);
    const std::string localCommit = local ? local->commitHash : "";
    const std::string remoteCommit = remote.commitHash.value_or("");
    const fs::path target = destination();

    if (matchesHubPattern(hub_.commitHashPattern, remoteCommit) && fs::exists(target) && local &&
        localCommit == remoteCommit) {
        return target;
    }
    if (!remote.commitHash || !remote.etag || !remote.size || remote.location.empty()) {
        throw HubApi::EnvironmentError::invalidMetadataError(
            "File metadata must have been retrieved from server");
    }
    const std::string& etag = *remote.etag;
    if (fs::exists(target)) {
        if (local && local->etag == etag) {
            hub_.writeDownloadMetadata(remoteCommit, etag, metadataPath());
            return target;
        }
        if (matchesHubPattern(hub_.sha256Pattern, etag) && HubApi::computeFileHash(target) == etag) {
            hub_.writeDownloadMetadata(remoteCommit, etag, metadataPath());
            return target;
        }
    }
    throwIfCancelled(stop);
    // Two downloads of one file (two snapshots of a repository, in this process or another) take turns.
    // Whoever gets the turn looks at the record again: a download that ran meanwhile may have left the
    // file current (the same tests as above, without a second hashing).
    const FileLock turn(repoMetadataDestination_ / (relativeFilename_ + ".lock"), stop);
    const auto latest = hub_.readDownloadMetadata(metadataPath());
    if (latest && fs::exists(target)) {
        if (matchesHubPattern(hub_.commitHashPattern, remoteCommit) && latest->commitHash == remoteCommit) {
            return target;
        }
        if (latest->etag == etag) {
            hub_.writeDownloadMetadata(remoteCommit, etag, metadataPath());
            return target;
        }
    }
    transfer(url, *remote.size, etag, progressHandler, stop);
    hub_.writeDownloadMetadata(remoteCommit, etag, metadataPath());
    return target;
}

void HubFileDownloader::transfer(const net::Url& url, std::int64_t size, const std::string& etag,
                                 const ProgressHandler& progressHandler, const std::stop_token& stop) {
    const fs::path incomplete = incompletePath(etag);
    prepareCacheDestination(incomplete);
    Downloader downloader(destination(), incomplete, backgroundSession_, chunkSize);
    if (matchesHubPattern(hub_.sha256Pattern, etag)) {
        // The etag is the file's digest: bytes that do not hash to it are not the file, whatever their
        // size, and must not be marked current.
        downloader.setVerifier([this, &etag](const fs::path& complete) {
            if (HubApi::computeFileHash(complete) != etag) {
                throw HubApi::EnvironmentError::fileIntegrityError("Hash mismatch for " + relativeFilename_);
            }
        });
    }
    std::stop_callback cancelOnStop(stop, [&downloader] { downloader.cancel(); });
    auto states = downloader.download(url, hfToken_, size);
    while (auto state = states->pop()) {
        if (auto* downloading = std::get_if<Downloader::Downloading>(&*state)) {
            if (progressHandler) {
                progressHandler(downloading->fraction, downloading->speed);
            }
        } else if (std::holds_alternative<Downloader::Completed>(*state)) {
            return;
        } else if (auto* failed = std::get_if<Downloader::Failed>(&*state)) {
            throwIfCancelled(stop);
            std::rethrow_exception(failed->error);
        }
    }
    // Only a completed transfer may be stamped current: a stream that just ends is a failure.
    throwIfCancelled(stop);
    throw Downloader::DownloadError(Downloader::DownloadError::Kind::unexpectedError);
}

} // namespace orvane
