#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Extensions/ArrayExtensions.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/External/Hub/Client/HubPatternMatch.h"
#include "OrvaneCore/External/Hub/Client/HubUnreachable.h"
#include "OrvaneCore/External/Hub/Download/HubFileDownloader.h"
#include "OrvaneCore/External/Hub/Files/AtomicFile.h"
#include "OrvaneCore/External/Hub/Files/FileReadError.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/System/FileManager.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace orvane {

namespace fs = std::filesystem;

namespace {

/// The path below `base` (which ends in "/"), symbolic links resolved; nothing for a file elsewhere.
std::optional<std::string> relativePath(const fs::path& file, const std::string& base) {
    std::error_code error;
    const std::string resolved = fs::weakly_canonical(file, error).string();
    if (error || !resolved.starts_with(base)) {
        return std::nullopt;
    }
    return resolved.substr(base.size());
}

bool matchesAny(const std::string& name, const std::vector<std::string>& globs) {
    for (const auto& glob : globs) {
        if (!matching({name}, glob).empty()) {
            return true;
        }
    }
    return false;
}

/// Units of 100 for a fraction; nothing for a value that cannot be one (not finite, out of range).
std::optional<std::int64_t> percentUnits(double fraction) {
    const double units = std::trunc(fraction * 100.0);
    if (!std::isfinite(units) || units < double(std::numeric_limits<std::int64_t>::min()) ||
        units >= double(std::numeric_limits<std::int64_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(units);
}

/// The files below the repository folder with their paths relative to it (symbolic links resolved);
/// files that lie elsewhere have none.
std::vector<std::pair<fs::path, std::optional<std::string>>> localFiles(const fs::path& folder) {
    std::string base = fs::canonical(folder).string();
    if (!base.ends_with("/")) {
        base += "/";
    }
    std::vector<std::pair<fs::path, std::optional<std::string>>> files;
    for (auto& file : FileManager::getFileUrls(folder)) {
        auto relative = relativePath(file, base);
        files.emplace_back(std::move(file), std::move(relative));
    }
    return files;
}

/// The repository's listing as the last online snapshot received it, all of its names: {"files": [...]}.
/// It lies beside the bookkeeping folder rather than in it, where the record or partial file of some
/// repository path could take its name.
fs::path listingRecord(const HubApi& hub, const HubApi::Repo& repo) {
    return hub.metadataFolder(repo).parent_path() / "listing.json";
}

/// Kept before the first file is fetched, so that a copy cut short says what it lacks. A listing that
/// cannot be kept costs only that knowledge, not the download.
void recordListing(const fs::path& file, const std::vector<std::string>& names) {
    try {
        fs::create_directories(file.parent_path());
        AtomicFile::write(file, nlohmann::json{{"files", names}}.dump() + "\n");
    } catch (const std::exception& error) {
        Logging::error("Could not record the repository listing at " + file.string() + ": " + error.what());
    }
}

/// Nothing when no snapshot recorded a listing (a mirror filled before listings were kept) or it cannot
/// be read.
std::optional<std::vector<std::string>> recordedListing(const fs::path& file) {
    std::error_code error;
    if (!fs::exists(file, error)) {
        return std::nullopt;
    }
    try {
        return nlohmann::json::parse(FileReadError::readContents(file))
            .at("files")
            .get<std::vector<std::string>>();
    } catch (const std::exception& problem) {
        Logging::error("Ignoring the unreadable repository listing " + file.string() + ": " + problem.what());
        return std::nullopt;
    }
}

fs::path onlineSnapshot(const HubApi& hub, const HubApi::Repo& repo, const std::string& revision,
                        const std::vector<std::string>& globs, const HubApi::ProgressHandler& progressHandler,
                        const std::stop_token& stop) {
    const fs::path folder = hub.localRepoLocation(repo);
    const auto report = [&](const Progress& progress) {
        if (progressHandler) {
            progressHandler(progress);
        }
    };
    // The whole listing is kept, so that a later stand-in with any globs knows what they select.
    std::vector<std::string> listing = hub.getFilenames(repo, revision, {}, stop);
    const std::vector<std::string> names = HubApi::filenamesMatching(listing, globs);
    if (!names.empty()) {
        recordListing(listingRecord(hub, repo), orderedSet(listing));
    }
    const auto parent = Progress::create(static_cast<std::int64_t>(names.size()));
    if (names.empty()) {
        report(*parent);
        return folder;
    }
    for (const auto& name : names) {
        const auto child = Progress::create(100);
        parent->addChild(child, 1);
        HubFileDownloader downloader(hub, repo, revision, folder, hub.metadataFolder(repo), name, hub.hfToken,
                                     hub.endpoint, hub.useBackgroundSession);
        downloader.download(
            [&](double fraction, std::optional<double> speed) {
                if (auto units = percentUnits(fraction)) {
                    child->setCompletedUnitCount(*units);
                }
                if (speed) {
                    child->setThroughput(speed);
                    parent->setThroughput(speed);
                }
                report(*parent);
            },
            stop);
        // A folder whose files are not all current must not be handed back as if it were complete.
        throwIfCancelled(stop);
        child->setCompletedUnitCount(100);
    }
    report(*parent);
    return folder;
}

/// The repository folder when the hub could not be reached and the local copy is complete. Nothing when
/// the hub answered, or nothing of the repository lies here: then the failure is the whole story.
std::optional<fs::path> localStandIn(const HubApi& hub, const HubApi::Repo& repo,
                                     const std::vector<std::string>& globs,
                                     const std::exception_ptr& failure) {
    const auto code = hubUnreachableCode(failure);
    if (!code || hub.localFilenames(repo, globs).empty()) {
        return std::nullopt;
    }
    fs::path folder;
    try {
        folder = hub.completeLocalSnapshot(repo, globs);
    } catch (const HubApi::EnvironmentError& error) {
        throw unreachableWithoutStandIn(*code, "the local copy of " + repo.id, error.message());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    Logging::info("The hub cannot be reached (" + net::UrlError::description(*code) +
                  "); using the complete local copy of " + repo.id);
    return folder;
}

} // namespace

std::vector<std::string> HubApi::localFilenames(const Repo& repo,
                                                const std::vector<std::string>& globs) const {
    const fs::path folder = localRepoLocation(repo);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return {};
    }
    std::vector<std::string> names;
    for (auto& [file, relative] : localFiles(folder)) {
        if (relative && (globs.empty() || matchesAny(*relative, globs))) {
            names.push_back(std::move(*relative));
        }
    }
    return names;
}

fs::path HubApi::localSnapshot(const Repo& repo, const std::vector<std::string>& globs) const {
    const fs::path folder = localRepoLocation(repo);
    if (!fs::exists(folder)) {
        throw EnvironmentError::offlineModeError("Repository not available locally");
    }
    const auto files = localFiles(folder);
    if (files.empty()) {
        throw EnvironmentError::offlineModeError("No files available locally for this repository");
    }
    std::vector<std::pair<fs::path, std::optional<std::string>>> kept;
    for (const auto& [file, relative] : files) {
        if (globs.empty() || (relative && matchesAny(*relative, globs))) {
            kept.emplace_back(file, relative);
        }
    }
    if (kept.empty()) {
        throw EnvironmentError::offlineModeError(
            "No files matching the requested patterns are available locally");
    }
    const fs::path bookkeeping = metadataFolder(repo);
    for (const auto& [file, relative] : kept) {
        const std::string name = file.filename().string();
        if (!relative) {
            throw EnvironmentError::offlineModeError("Metadata not available for " + name);
        }
        const auto metadata = readDownloadMetadata(bookkeeping / (*relative + ".metadata"));
        if (!metadata) {
            throw EnvironmentError::offlineModeError("Metadata not available for " + name);
        }
        if (matchesHubPattern(sha256Pattern, metadata->etag) && computeFileHash(file) != metadata->etag) {
            throw EnvironmentError::fileIntegrityError("Hash mismatch for " + name);
        }
    }
    return folder;
}

fs::path HubApi::completeLocalSnapshot(const Repo& repo, const std::vector<std::string>& globs) const {
    const fs::path folder = localSnapshot(repo, globs);
    const auto listing = recordedListing(listingRecord(*this, repo));
    if (!listing) {
        return folder;
    }
    const fs::path bookkeeping = metadataFolder(repo);
    for (const auto& name : filenamesMatching(*listing, globs)) {
        std::error_code error;
        if (!fs::is_regular_file(folder / name, error)) {
            throw EnvironmentError::offlineModeError("Incomplete local copy: " + name + " is missing");
        }
        if (!readDownloadMetadata(bookkeeping / (name + ".metadata"))) {
            throw EnvironmentError::offlineModeError("Incomplete local copy: " + name +
                                                     " has no download record");
        }
    }
    return folder;
}

fs::path HubApi::snapshot(const Repo& repo, const std::string& revision,
                          const std::vector<std::string>& globs, const ProgressHandler& progressHandler,
                          std::stop_token stop) const {
    const bool networkUnusable = NetworkMonitor::shared().state().shouldUseOfflineMode();
    if (useOfflineMode.value_or(networkUnusable)) {
        return localSnapshot(repo, globs);
    }
    try {
        return onlineSnapshot(*this, repo, revision, globs, progressHandler, stop);
    } catch (...) {
        // Whatever a stopped request or transfer reported, the caller asked for the stop.
        throwIfCancelled(stop);
        // A machine with an interface but no way to the hub still has its complete copies; a caller that
        // asked for the network explicitly gets the network's answer.
        if (!useOfflineMode) {
            if (auto folder = localStandIn(*this, repo, globs, std::current_exception())) {
                return *folder;
            }
        }
        throw;
    }
}

} // namespace orvane
