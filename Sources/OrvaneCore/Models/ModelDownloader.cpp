#include "OrvaneCore/Models/ModelDownloader.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Errors/ErrorDescription.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/Models/ModelDownloaderError.h"
#include "OrvaneCore/Models/ModelUtilities.h"

#include <sstream>
#include <system_error>

namespace orvane {

namespace {

using Type = Logging::LogType;

void log(Type type, const std::string& text) {
    Logging::shared().log(type, {}, "[ModelDownloader] " + text);
}

std::string describe(const HubApi::Repo& repo) {
    return "Repo(id: \"" + repo.id + "\", type: " + rawValue(repo.type) + ")";
}

HubApi::Repo repository(const ModelDownloadConfig& config) {
    return HubApi::Repo{config.modelRepo, HubApi::RepoType::models};
}

/// The pattern's non-empty pieces between "/".
std::vector<std::string> pieces(const std::string& pattern) {
    std::vector<std::string> result;
    std::istringstream stream(pattern);
    std::string piece;
    while (std::getline(stream, piece, '/')) {
        if (!piece.empty()) {
            result.push_back(piece);
        }
    }
    return result;
}

} // namespace

ModelDownloader::ModelDownloader(ModelDownloadConfig config) : config_(std::move(config)) {}

ModelDownloader::ModelDownloader(std::string endpoint, std::string repoName,
                                 std::optional<std::string> modelToken, std::string revision,
                                 bool useBackgroundSession)
    : ModelDownloader(ModelDownloadConfig(std::nullopt, std::move(repoName), std::move(modelToken),
                                          std::nullopt, useBackgroundSession, std::move(endpoint),
                                          std::move(revision))) {}

std::optional<ModelDownloader::Path>
ModelDownloader::effectiveDownloadBase(const std::optional<Path>& downloadBase) const {
    if (downloadBase) {
        return downloadBase;
    }
    if (config_.downloadBase) {
        return std::filesystem::absolute(*config_.downloadBase);
    }
    return std::nullopt;
}

HubApi ModelDownloader::hubApi(const std::optional<Path>& downloadBase,
                               std::optional<bool> useOfflineMode) const {
    return HubApi(effectiveDownloadBase(downloadBase), config_.modelToken, config_.endpoint,
                  config_.useBackgroundSession, useOfflineMode);
}

ModelDownloader::Path ModelDownloader::downloadModel(const ModelInfo& modelInfo,
                                                     const std::optional<Path>& downloadBase,
                                                     std::optional<bool> useOfflineMode,
                                                     std::stop_token stop) const {
    auto pattern = modelInfo.downloadPattern();
    auto hub = hubApi(downloadBase, useOfflineMode);
    auto repo = repository(config_);
    if (useOfflineMode == true) {
        log(Type::debug, "Searching for models matching \"" + pattern + "\" in " + describe(repo));
        // Even the offline check asks the hub what the pattern covers.
        if (hub.getFilenames(repo, config_.revision, {pattern}, stop).empty()) {
            throw ModelDownloaderError::modelUnavailable("No models found matching \"" + pattern + "\" in " +
                                                         config_.modelRepo);
        }
    }
    log(Type::debug, "Downloading model " + pattern +
                         " with offline mode: " + (useOfflineMode == true ? "true" : "false"));
    return hub.snapshot(repo, config_.revision, {pattern}, {}, stop);
}

ModelDownloader::Path ModelDownloader::localRepoLocation(const std::optional<Path>& downloadBase) const {
    return hubApi(downloadBase, std::nullopt).localRepoLocation(repository(config_));
}

ModelDownloader::Path ModelDownloader::resolveModel(const std::string& name, const ModelInfo& modelInfo,
                                                    const std::optional<Path>& modelFolder,
                                                    const std::optional<Path>& downloadBase, bool download,
                                                    const StateCallback& modelStateCallback,
                                                    std::stop_token stop) const {
    auto report = [&](ModelState state) {
        if (modelStateCallback) {
            modelStateCallback(state);
        }
    };
    std::optional<Path> folder = modelFolder;
    if (!folder && config_.modelFolder) {
        folder = std::filesystem::absolute(*config_.modelFolder);
    }
    if (folder) {
        if (auto found = modelURLIfExists(modelInfo.modelURL(*folder), name)) {
            log(Type::debug, "Found " + name + " in model folder");
            return *found;
        }
    }

    auto base = effectiveDownloadBase(downloadBase);
    std::optional<Path> cached;
    try {
        cached = downloadModel(modelInfo, base, true, stop);
    } catch (const CancellationError&) {
        throw; // a stop is not a cache miss
    } catch (...) {
        // Not in the mirror, or the hub could not be asked: look further.
    }
    if (cached) {
        if (auto found = modelURLIfExists(modelInfo.modelURL(*cached), name)) {
            log(Type::debug, "Found existing " + name + " in cache");
            report(ModelState::downloaded);
            return *found;
        }
    }

    if (!download) {
        throw ModelDownloaderError::modelUnavailable("No model found for " + name + " (download disabled)");
    }
    report(ModelState::downloading);
    auto repoFolder = downloadModel(modelInfo, base, std::nullopt, stop);
    if (auto found = modelURLIfExists(modelInfo.modelURL(repoFolder), name)) {
        log(Type::debug, "Downloaded " + name);
        report(ModelState::downloaded);
        return *found;
    }
    throw ModelDownloaderError::modelUnavailable("No model found for " + name);
}

std::string ModelDownloader::resolveModelPath(const std::string& name, const ModelInfo& modelInfo,
                                              const std::optional<Path>& modelFolder,
                                              const std::optional<Path>& downloadBase, bool download,
                                              const StateCallback& modelStateCallback,
                                              std::stop_token stop) const {
    return resolveModel(name, modelInfo, modelFolder, downloadBase, download, modelStateCallback, stop)
        .string();
}

ModelDownloader::Path ModelDownloader::resolveRepo(const std::vector<std::string>& patterns,
                                                   const std::optional<Path>& downloadBase, bool download,
                                                   const ProgressCallback& progressCallback,
                                                   std::stop_token stop) const {
    auto base = effectiveDownloadBase(downloadBase);
    auto repoFolder = localRepoLocation(base);
    auto repo = repository(config_);

    bool present = true;
    for (const auto& pattern : patterns) {
        if (!patternsExistLocally(pattern, repoFolder)) {
            present = false;
            break;
        }
    }
    if (present) {
        try {
            auto folder = hubApi(base, true).snapshot(repo, config_.revision, patterns, {}, stop);
            log(Type::debug, "Found valid local cache at " + folder.string());
            return folder;
        } catch (const CancellationError&) {
            throw;
        } catch (...) {
            log(Type::debug, "Local cache for '" + config_.modelRepo + "' didn't validate (" +
                                 describeCurrentException() + "); re-resolving.");
        }
    }

    if (!download) {
        throw ModelDownloaderError::modelUnavailable("No valid local models found for repo '" +
                                                     config_.modelRepo + "' and download is disabled.");
    }
    auto hub = hubApi(base, std::nullopt);
    log(Type::info,
        "Downloading " + std::to_string(patterns.size()) + " model(s) from " + config_.modelRepo + "...");
    auto folder = hub.snapshot(repo, config_.revision, patterns, progressCallback, stop);
    log(Type::info, "Download complete: " + folder.string());
    return folder;
}

std::vector<std::string> ModelDownloader::fetchFilenames(const std::vector<std::string>& patterns,
                                                         const std::optional<Path>& downloadBase,
                                                         std::stop_token stop) const {
    return hubApi(downloadBase, std::nullopt)
        .getFilenames(repository(config_), config_.revision, patterns, stop);
}

bool ModelDownloader::patternsExistLocally(const std::string& pattern, const Path& repoFolder) const {
    Path path = repoFolder;
    bool anyPiece = false;
    for (const auto& piece : pieces(pattern)) {
        if (piece.find('*') != std::string::npos) {
            break;
        }
        path /= piece;
        anyPiece = true;
    }
    if (!anyPiece) {
        return false;
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return false;
    }
    // Listing a file fails, so a single-file pattern counts as absent.
    std::filesystem::directory_iterator entries(path, error);
    return !error && entries != std::filesystem::directory_iterator();
}

std::optional<ModelDownloader::Path> ModelDownloader::modelURLIfExists(const Path& folder,
                                                                       const std::string& name) const {
    auto candidate = ModelUtilities::detectModelURL(folder, name);
    std::error_code error;
    if (std::filesystem::exists(candidate, error)) {
        return candidate;
    }
    return std::nullopt;
}

} // namespace orvane
