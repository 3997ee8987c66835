#include "Sonavex/Utilities/Models/ModelUtilities.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Extensions/StringExtensions.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Models/ModelSupportConfig.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace sonavex {

ModelSupport ModelUtilities::modelSupport(const std::string& deviceName, const ModelSupportConfig* config) {
    return (config ? *config : Constants::fallbackModelSupportConfig()).modelSupport(deviceName);
}

std::shared_ptr<WhisperTokenizer> ModelUtilities::loadTokenizer(ModelVariant variant,
                                                                const std::optional<fs::path>& tokenizerFolder,
                                                                const std::vector<fs::path>& additionalSearchPaths,
                                                                bool useBackgroundSession, std::stop_token stop) {
    using orvane::Logging;
    const std::string repoName = tokenizerNameForVariant(variant);
    const orvane::HubApiWrapper hubApi(tokenizerFolder, std::nullopt, std::nullopt, useBackgroundSession);
    const orvane::HubApiWrapper::Repo repo(repoName, orvane::HubApiWrapper::RepoType::models);
    const fs::path localRepo = hubApi.localRepoLocation(repo);

    std::vector<fs::path> searchPaths{localRepo};
    if (tokenizerFolder) {
        searchPaths.push_back(*tokenizerFolder);
    }
    searchPaths.insert(searchPaths.end(), additionalSearchPaths.begin(), additionalSearchPaths.end());
    std::optional<fs::path> localFolder;
    for (const fs::path& folder : searchPaths) {
        const fs::path file = folder / "tokenizer.json";
        std::error_code ignored;
        const bool found = fs::exists(file, ignored);
        Logging::debug("Checking for local tokenizer at " + file.string() + " - " + (found ? "found" : "not found"));
        if (found) {
            localFolder = folder;
            Logging::debug("Found local tokenizer at " + folder.string());
            break;
        }
    }
    // What went wrong locally, for the error when the hub cannot help either.
    std::string localFailure;
    if (!localFolder) {
        Logging::debug("No tokenizer found in any local search paths");
        const fs::path expected = !additionalSearchPaths.empty() ? additionalSearchPaths.front()
                                                                 : tokenizerFolder.value_or(localRepo);
        localFailure = "No tokenizer.json in " + expected.string();
    } else {
        Logging::debug("Loading tokenizer from " + localFolder->string());
        try {
            return std::make_shared<WhisperTokenizerWrapper>(
                orvane::AutoTokenizerWrapper::fromModelFolder(*localFolder, hubApi, true), *localFolder);
        } catch (const std::exception& error) {
            Logging::debug(std::string("Error loading local tokenizer: ") + error.what());
            localFailure = "The tokenizer in " + localFolder->string() + " cannot be loaded: " + error.what();
        }
    }
    Logging::debug("Downloading tokenizer from Hub at file://" + localRepo.string());
    try {
        return std::make_shared<WhisperTokenizerWrapper>(
            orvane::AutoTokenizerWrapper::fromPretrained(repoName, hubApi, true, stop), localRepo);
    } catch (const orvane::CancellationError&) {
        throw;
    } catch (const orvane::HubApi::EnvironmentError& error) {
        // Offline nothing was asked of the hub, so the local failure is the whole story.
        if (error.kind() == orvane::HubApi::EnvironmentError::Kind::offlineModeError) {
            throw WhisperError::tokenizerUnavailable(localFailure);
        }
        throw WhisperError::tokenizerUnavailable(localFailure + "; downloading " + repoName +
                                                 " from the hub failed: " + error.what());
    } catch (const std::exception& error) {
        throw WhisperError::tokenizerUnavailable(localFailure + "; downloading " + repoName +
                                                 " from the hub failed: " + error.what());
    }
}

ModelVariant ModelUtilities::detectVariant(int64_t logitsDim, int64_t encoderDim) {
    switch (logitsDim) {
    case 51866:
        return ModelVariant::largev3;
    case 51865:
        switch (encoderDim) {
        case 384:
            return ModelVariant::tiny;
        case 768:
            return ModelVariant::small;
        case 1024:
            return ModelVariant::medium;
        case 1280:
            return ModelVariant::largev2;
        default:
            return ModelVariant::base;
        }
    case 51864:
        switch (encoderDim) {
        case 384:
            return ModelVariant::tinyEn;
        case 768:
            return ModelVariant::smallEn;
        case 1024:
            return ModelVariant::mediumEn;
        default:
            return ModelVariant::baseEn; // no English-only large model
        }
    default:
        orvane::Logging::error("Unrecognized vocabulary size: " + std::to_string(logitsDim) +
                               ", defaulting to base variant");
        return ModelVariant::base;
    }
}

std::string ModelUtilities::tokenizerNameForVariant(ModelVariant variant) {
    return "openai/whisper-" + std::string(description(variant));
}

std::vector<std::string> ModelUtilities::formatModelFiles(const std::vector<std::string>& modelFiles) {
    // Small sizes end with "/" so that "tiny" does not also match "tiny.en" folders or "tiny_x" suffixes.
    std::vector<std::string> descriptions, patterns;
    for (ModelVariant variant : allModelVariants) {
        descriptions.emplace_back(description(variant));
        const bool large = descriptions.back().find("large") != std::string::npos;
        patterns.push_back(descriptions.back() + (large ? "" : "/"));
    }
    std::set<std::string> folders;
    for (const std::string& file : modelFiles) {
        const std::string folder = file.substr(0, file.find('/')) + "/";
        const bool known = std::any_of(patterns.begin(), patterns.end(), [&](const std::string& pattern) {
            return folder.find(pattern) != std::string::npos;
        });
        if (known) {
            folders.insert(orvane::trimmingFromEnd(folder, "/", 1));
        }
    }
    const auto key = [&](const std::string& name) {
        for (size_t i = 0; i < descriptions.size(); ++i) {
            if (name.find(descriptions[i]) != std::string::npos) {
                return i;
            }
        }
        return descriptions.size();
    };
    std::vector<std::string> sorted(folders.begin(), folders.end());
    std::stable_sort(sorted.begin(), sorted.end(), [&](const std::string& a, const std::string& b) {
        const size_t keyA = key(a), keyB = key(b);
        return keyA != keyB ? keyA < keyB : a < b;
    });
    return sorted;
}

} // namespace sonavex
