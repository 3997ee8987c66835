#pragma once
// Where a model downloader looks for models and how it reaches the hub.

#include <optional>
#include <string>

namespace orvane {

struct ModelDownloadConfig {
    ModelDownloadConfig(std::optional<std::string> downloadBase, std::string modelRepo,
                        std::optional<std::string> modelToken, std::optional<std::string> modelFolder,
                        bool useBackgroundSession, std::string endpoint, std::string revision)
        : downloadBase(std::move(downloadBase)), modelRepo(std::move(modelRepo)),
          modelToken(std::move(modelToken)), modelFolder(std::move(modelFolder)),
          useBackgroundSession(useBackgroundSession), endpoint(std::move(endpoint)),
          revision(std::move(revision)) {}

    /// Root of the hub's local mirror; nothing leaves the choice to the hub client.
    std::optional<std::string> downloadBase;
    /// "owner/name" of a repository of kind models.
    std::string modelRepo;
    /// Nothing lets the hub client find a token itself.
    std::optional<std::string> modelToken;
    /// A folder that already holds model folders; searched before the mirror.
    std::optional<std::string> modelFolder;
    bool useBackgroundSession;
    /// Must parse as a URL: the hub listing is built from it.
    std::string endpoint;
    /// Branch, tag or commit of every listing and snapshot.
    std::string revision;
};

} // namespace orvane
