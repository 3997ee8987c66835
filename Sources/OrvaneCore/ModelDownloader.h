#pragma once
// Finds a model set on the local disk or fetches it from a hub repository. Three places are searched
// in a fixed order: a model folder given by the caller or the configuration, the hub's local mirror,
// and the hub itself when downloading is allowed. Every log line begins with "[ModelDownloader] ".
//
// Keeps no state but its configuration, so one instance may serve concurrent calls.

#include "OrvaneCore/ModelDownloadConfig.h"
#include "OrvaneCore/ModelInfo.h"

#include <filesystem>
#include <optional>
#include <string>

namespace orvane {

class ModelDownloader {
public:
    explicit ModelDownloader(ModelDownloadConfig config);
    /// A configuration with no download base and no model folder.
    ModelDownloader(std::string endpoint, std::string repoName, std::optional<std::string> modelToken,
                    std::string revision, bool useBackgroundSession);
    virtual ~ModelDownloader() = default;

protected:
    /// The compiled or packaged model `name` inside `folder`, when something is there.
    virtual std::optional<std::filesystem::path> modelURLIfExists(const std::filesystem::path& folder,
                                                                  const std::string& name) const;

private:
    const ModelDownloadConfig config_;
};

} // namespace orvane
