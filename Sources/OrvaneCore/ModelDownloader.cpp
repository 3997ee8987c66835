#include "OrvaneCore/ModelDownloader.h"

#include "OrvaneCore/ModelUtilities.h"

#include <system_error>

namespace orvane {

ModelDownloader::ModelDownloader(ModelDownloadConfig config) : config_(std::move(config)) {}

ModelDownloader::ModelDownloader(std::string endpoint, std::string repoName,
                                 std::optional<std::string> modelToken, std::string revision,
                                 bool useBackgroundSession)
    : ModelDownloader(ModelDownloadConfig(std::nullopt, std::move(repoName), std::move(modelToken),
                                          std::nullopt, useBackgroundSession, std::move(endpoint),
                                          std::move(revision))) {}

std::optional<std::filesystem::path> ModelDownloader::modelURLIfExists(const std::filesystem::path& folder,
                                                                       const std::string& name) const {
    auto candidate = ModelUtilities::detectModelURL(folder, name);
    std::error_code error;
    if (std::filesystem::exists(candidate, error)) {
        return candidate;
    }
    return std::nullopt;
}

} // namespace orvane
