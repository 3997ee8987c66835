#include "Sonavex/Utilities/Models/CheckpointSource.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Errors/ErrorDescription.h"
#include "OrvaneCore/Extensions/ArrayExtensions.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Models/CheckpointConverter.h"
#include "Sonavex/Utilities/Models/CheckpointWeights.h"

#include <cmath>
#include <regex>

namespace sonavex {

namespace {

// Download share of the whole build, in percent; the conversion takes the rest.
constexpr int64_t downloadShare = 90;

// Known model names matching a folder pattern of the download ("*base/*"): the names as folders.
std::vector<std::string> knownModelsMatching(const std::string& pattern) {
    std::vector<std::string> matched;
    for (const auto& name : Constants::knownModels()) {
        if (!orvane::matching({name + "/"}, pattern).empty()) {
            matched.push_back(name);
        }
    }
    return matched;
}

// The converted folder holds all the engine needs: the checkpoint's weights would only take the same
// space again. Their download records stay; a later snapshot finds the files missing and fetches them.
void removeWeights(const orvane::HubApiWrapper& hub, const orvane::HubApiWrapper::Repo& repo) {
    const auto folder = hub.localRepoLocation(repo);
    for (const auto& name :
         hub.localFilenames(repo, {CheckpointWeights::kSingleFileName, CheckpointWeights::kShardPattern})) {
        std::error_code error;
        std::filesystem::remove(folder / name, error);
        if (error) {
            Logging::error("Could not remove the checkpoint file " + (folder / name).string() + ": " +
                           error.message());
        }
    }
}

} // namespace

std::optional<CheckpointSource> CheckpointSource::forVariant(const std::string& variant) {
    auto names = knownModelsMatching("*" + variant + "/*");
    if (names.size() > 1) {
        names = knownModelsMatching("*openai*" + variant + "/*");
    }
    if (names.size() != 1) {
        return std::nullopt;
    }
    auto repo = checkpointRepoFor(names.front());
    if (!repo) {
        return std::nullopt;
    }
    return CheckpointSource{names.front(), *repo};
}

std::optional<std::string> CheckpointSource::checkpointRepoFor(const std::string& modelName) {
    if (modelName.find("large-v3-v20240930") != std::string::npos) {
        return "openai/whisper-large-v3-turbo";
    }
    if (modelName.starts_with("distil-whisper_distil-large-v3")) {
        return "distil-whisper/distil-large-v3";
    }
    static const std::regex openaiModel("openai_whisper-(.+?)(_turbo)?(_[0-9]+MB)?");
    std::smatch match;
    if (std::regex_match(modelName, match, openaiModel)) {
        return "openai/whisper-" + match[1].str();
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> CheckpointSource::missingModelFile(const std::filesystem::path& folder) {
    for (const char* name : {"MelSpectrogram", "AudioEncoder", "TextDecoder"}) {
        for (const char* file : {ml::ModelFolder::kDescriptionFileName, ml::ModelFolder::kWeightsFileName}) {
            const auto path = folder / (std::string(name) + ".mlmodelc") / file;
            std::error_code error;
            if (!std::filesystem::is_regular_file(path, error)) {
                return path;
            }
        }
    }
    return std::nullopt;
}

bool CheckpointSource::holdsConvertedModels(const std::filesystem::path& folder) {
    return !missingModelFile(folder);
}

std::filesystem::path CheckpointSource::build(const orvane::HubApiWrapper& hub, const std::filesystem::path& folder,
                                              const std::function<void(const orvane::Progress&)>& progress,
                                              std::stop_token stop) const {
    auto overall = orvane::Progress::create(100);
    const auto report = [&](int64_t percent) {
        if (percent != overall->completedUnitCount()) {
            overall->setCompletedUnitCount(percent);
            if (progress) {
                progress(*overall);
            }
        }
    };
    if (holdsConvertedModels(folder)) {
        Logging::debug("Model " + modelName + " already built at " + folder.string());
        report(100);
        return folder;
    }
    Logging::info("Building model " + modelName + " from checkpoint " + checkpointRepo);
    const orvane::HubApiWrapper::Repo repo(checkpointRepo);
    std::filesystem::path checkpoint;
    try {
        checkpoint = hub.snapshot(
            repo, "main", CheckpointConverter::checkpointPatterns(),
            [&](const orvane::Progress& download) {
                report(int64_t(std::floor(download.fractionCompleted() * downloadShare)));
            },
            stop);
    } catch (const orvane::CancellationError&) {
        throw;
    } catch (...) {
        throw WhisperError::modelsUnavailable("The public checkpoint " + checkpointRepo +
                                              " could not be fetched: " + orvane::describeCurrentException());
    }
    report(downloadShare);
    // The converter builds into an empty folder; what lies there is an interrupted earlier build.
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder.parent_path());
    int written = 0;
    CheckpointConverter::convert(
        checkpoint, folder, CheckpointConverter::kDefaultCacheLength,
        [&](const std::string& model) {
            Logging::debug("Writing " + model + " of " + modelName);
            report(downloadShare + written++ * (100 - downloadShare) / 3);
        },
        CheckpointConverter::weightTypeForVariant(modelName));
    removeWeights(hub, repo);
    report(100);
    return folder;
}

} // namespace sonavex
