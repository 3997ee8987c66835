#include "Arguments/EngineArguments.h"

#include "OrvaneCore/Logging/Logging.h"

#include <algorithm>
#include <filesystem>

namespace sonavex::tool {

void takeModelArguments(CommandLine& commandLine, SonavexConfig& config) {
    const auto folder = commandLine.takeOption("--model-folder");
    const auto model = commandLine.takeOption("--model");
    const auto repo = commandLine.takeOption("--repo");
    const auto endpoint = commandLine.takeOption("--endpoint");
    const auto downloadBase = commandLine.takeOption("--download-base");
    if (folder.has_value() == model.has_value()) {
        throw CommandLine::UsageError("give --model-folder DIR or --model VARIANT");
    }
    if (folder && (repo || endpoint || downloadBase)) {
        throw CommandLine::UsageError("--repo, --endpoint and --download-base go with --model");
    }
    config.modelFolder = folder;
    config.model = model;
    config.modelRepo = repo;
    config.modelEndpoint = endpoint;
    if (downloadBase) {
        config.downloadBase = std::filesystem::path(*downloadBase);
    }
    config.load = true;
    const auto level = orvane::Logging::shared().logLevel();
    config.verbose = level != orvane::Logging::LogLevel::none;
    if (config.verbose) {
        config.logLevel = level;
    }
}

bool isSampleFile(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".f32" || extension == ".npy";
}

} // namespace sonavex::tool
