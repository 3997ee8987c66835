#pragma once
// Finds a model set on the local disk or fetches it from a hub repository. Three places are searched
// in a fixed order: a model folder given by the caller or the configuration, the hub's local mirror
// (a check that still asks the hub for a listing), and the hub itself when downloading is allowed.
// A second entry point keeps a set of repository paths, given as glob patterns, present and valid in
// the mirror. Every log line begins with "[ModelDownloader] ".
//
// Keeps no state but its configuration and builds a new hub client per operation, so one instance may
// serve concurrent calls. Long calls take a stop token; a stop ends them with CancellationError.

#include "OrvaneCore/Models/ModelDownloadConfig.h"
#include "OrvaneCore/Models/ModelInfo.h"
#include "OrvaneCore/Models/ModelState.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace orvane {

class HubApi;
class Progress;

class ModelDownloader {
public:
    using Path = std::filesystem::path;
    using StateCallback = std::function<void(ModelState)>;
    using ProgressCallback = std::function<void(const Progress&)>;

    explicit ModelDownloader(ModelDownloadConfig config);
    /// A configuration with no download base and no model folder.
    ModelDownloader(std::string endpoint, std::string repoName, std::optional<std::string> modelToken,
                    std::string revision, bool useBackgroundSession);
    virtual ~ModelDownloader() = default;

    /// Snapshot of the files under the model's download pattern; returns the local repository folder.
    /// With `useOfflineMode` true the hub is first asked whether anything matches the pattern (and
    /// ModelDownloaderError is thrown when nothing does); hub errors pass through unchanged.
    virtual Path downloadModel(const ModelInfo& modelInfo, const std::optional<Path>& downloadBase,
                               std::optional<bool> useOfflineMode, std::stop_token stop = {}) const;

    /// download base/models/<repository>; touches neither files nor the network.
    virtual Path localRepoLocation(const std::optional<Path>& downloadBase) const;

    /// The file of model `name` of the set `modelInfo`: from the model folder, else the mirror, else
    /// (when `download` is set) the hub. The callback hears `downloaded` after a mirror hit, and
    /// `downloading` then `downloaded` around a download.
    virtual Path resolveModel(const std::string& name, const ModelInfo& modelInfo,
                              const std::optional<Path>& modelFolder, const std::optional<Path>& downloadBase,
                              bool download, const StateCallback& modelStateCallback = {},
                              std::stop_token stop = {}) const;
    /// resolveModel as a file-system path.
    virtual std::string resolveModelPath(const std::string& name, const ModelInfo& modelInfo,
                                         const std::optional<Path>& modelFolder,
                                         const std::optional<Path>& downloadBase, bool download,
                                         const StateCallback& modelStateCallback = {},
                                         std::stop_token stop = {}) const;

    /// The local repository folder holding every file matching `patterns`: validated offline when all
    /// patterns are present locally, otherwise (when `download` is set) brought from the hub.
    virtual Path resolveRepo(const std::vector<std::string>& patterns,
                             const std::optional<Path>& downloadBase, bool download,
                             const ProgressCallback& progressCallback = {}, std::stop_token stop = {}) const;

    /// The repository's file names at the configured revision that match any pattern.
    virtual std::vector<std::string> fetchFilenames(const std::vector<std::string>& patterns,
                                                    const std::optional<Path>& downloadBase,
                                                    std::stop_token stop = {}) const;

protected:
    /// Whether the folder named by the pattern's leading wildcard-free pieces holds at least one entry.
    /// A pattern starting with a wildcard, or naming a single file, never counts as present.
    virtual bool patternsExistLocally(const std::string& pattern, const Path& repoFolder) const;
    /// The compiled or packaged model `name` inside `folder`, when something is there.
    virtual std::optional<Path> modelURLIfExists(const Path& folder, const std::string& name) const;

private:
    /// The argument, else the configured base as an absolute path, else nothing (the client's default).
    std::optional<Path> effectiveDownloadBase(const std::optional<Path>& downloadBase) const;
    /// A new client on the effective download base.
    HubApi hubApi(const std::optional<Path>& downloadBase, std::optional<bool> useOfflineMode) const;

    const ModelDownloadConfig config_;
};

} // namespace orvane
