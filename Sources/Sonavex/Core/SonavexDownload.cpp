// Model discovery and download: the device's recommended models, the repository's support file and
// available variants, and fetching one variant's folder into the local mirror.

#include "OrvaneCore/Errors/ErrorDescription.h"
#include "OrvaneCore/Extensions/ArrayExtensions.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/External/Hub/Client/HubClientError.h"
#include "OrvaneCore/External/Hub/Client/HubUnreachable.h"
#include "OrvaneCore/System/ProcessInfo.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Models/CheckpointSource.h"
#include "Sonavex/Utilities/Models/ModelUtilities.h"

#include <fstream>
#include <set>
#include <sstream>

namespace sonavex {

namespace {

using Repo = orvane::HubApiWrapper::Repo;

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

std::string repoText(const Repo& repo) {
    return repo.id + " (" + orvane::HubApiWrapper::rawValue(repo.type) + ")";
}

// The distinct first path components of the listed names, in listing order.
std::vector<std::string> topFolders(const std::vector<std::string>& names) {
    std::vector<std::string> folders;
    for (const auto& name : names) {
        folders.push_back(name.substr(0, name.find('/')));
    }
    return orvane::orderedSet(folders);
}

// Whether the listing holds a model of this runtime (its description file) inside `folder`.
bool holdsRuntimeModels(const std::vector<std::string>& names, const std::string& folder) {
    return !orvane::matching(names, folder + "/*/model.json").empty();
}

// What a local copy lacks, in the words of the mirror's own check: "Incomplete local copy: <path below
// the repository folder> is missing".
std::string missingFrom(const std::filesystem::path& base, const std::filesystem::path& file) {
    return "Incomplete local copy: " + file.lexically_relative(base).generic_string() + " is missing";
}

// The variant's folder from the mirror alone, when it is complete there: a folder of this runtime's
// three models whose files (all the repository listed, when its listing was recorded) have their download
// records, or a finished conversion of its checkpoint. Otherwise `gap` says what the local copy lacks;
// it stays empty when there is none.
std::optional<std::filesystem::path> completeLocalVariant(const orvane::HubApiWrapper& hub, const Repo& repo,
                                                          const std::string& variant,
                                                          const std::optional<CheckpointSource>& source,
                                                          std::string& gap) {
    std::string pattern = "*" + variant + "/*";
    auto folders = topFolders(hub.localFilenames(repo, {pattern}));
    if (folders.size() > 1) {
        pattern = "*openai*" + variant + "/*";
        folders = topFolders(hub.localFilenames(repo, {pattern}));
    }
    const auto base = hub.localRepoLocation(repo);
    if (folders.size() == 1) {
        if (const auto missing = CheckpointSource::missingModelFile(base / folders.front())) {
            gap = missingFrom(base, *missing);
        } else {
            try {
                return hub.impl.completeLocalSnapshot(repo.hubRepo(), {pattern}) / folders.front();
            } catch (const orvane::HubApi::EnvironmentError& error) {
                gap = error.message();
            } catch (const std::exception& error) {
                Logging::debug("The local copy of " + folders.front() + " cannot stand in: " + error.what());
            }
        }
    }
    // A conversion writes no download records: a folder with some is a download, complete or not.
    std::error_code error;
    if (source && std::filesystem::exists(base / source->modelName, error) &&
        !std::filesystem::exists(hub.impl.metadataFolder(repo.hubRepo()) / source->modelName, error)) {
        if (const auto missing = CheckpointSource::missingModelFile(base / source->modelName)) {
            gap = missingFrom(base, *missing);
        } else {
            return base / source->modelName;
        }
    }
    return std::nullopt;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("Cannot read " + path.string());
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

std::string Sonavex::deviceName() { return orvane::ProcessInfo::hwModel(); }

ModelSupport Sonavex::recommendedModels() {
    const std::string device = deviceName();
    Logging::debug("Running on " + device);
    return Constants::fallbackModelSupportConfig().modelSupport(device);
}

ModelSupportConfig Sonavex::fetchModelSupportConfig(const std::string& repo,
                                                    const std::optional<std::filesystem::path>& downloadBase,
                                                    const std::optional<std::string>& token,
                                                    const std::string& remoteConfigName,
                                                    const std::string& endpoint, std::stop_token stop) {
    const orvane::HubApiWrapper hub(downloadBase, token, endpoint, false);
    const Repo repoReference(repo);
    Logging::debug("Searching for config file matching " + inQuotes(remoteConfigName) + " in " + repo);
    try {
        const auto names = hub.getFilenames(repoReference, "main", {remoteConfigName}, stop);
        if (names.empty()) {
            Logging::info("No config files found matching " + inQuotes(remoteConfigName) + " in " + repo +
                          ", using fallback");
            return Constants::fallbackModelSupportConfig();
        }
        if (names.size() > 1) {
            std::string list;
            for (const auto& name : names) {
                list += (list.empty() ? "" : ", ") + inQuotes(name);
            }
            Logging::info("Multiple config files found (" + std::to_string(names.size()) + "): [" + list +
                          "]. Using first matching file: " + names.front());
        }
        const auto folder = hub.snapshot(repoReference, "main", {names.front()}, {}, stop);
        return ModelSupportConfig::fromJson(readFile(folder / names.front()));
    } catch (...) {
        Logging::error("Fetch model support config failed with error: " + orvane::describeCurrentException());
        return Constants::fallbackModelSupportConfig();
    }
}

ModelSupport Sonavex::recommendedRemoteModels(const std::string& repo,
                                              const std::optional<std::filesystem::path>& downloadBase,
                                              const std::optional<std::string>& token,
                                              const std::string& remoteConfigName, const std::string& endpoint,
                                              std::stop_token stop) {
    return fetchModelSupportConfig(repo, downloadBase, token, remoteConfigName, endpoint, stop)
        .modelSupport(deviceName());
}

std::vector<std::string> Sonavex::fetchAvailableModels(const std::string& repo,
                                                       const std::vector<std::string>& matching,
                                                       const std::optional<std::filesystem::path>& downloadBase,
                                                       const std::optional<std::string>& token,
                                                       const std::string& remoteConfigName,
                                                       const std::string& endpoint, std::stop_token stop) {
    const auto supported =
        fetchModelSupportConfig(repo, downloadBase, token, remoteConfigName, endpoint, stop)
            .modelSupport(deviceName())
            .supported;
    std::set<std::string> kept;
    for (const auto& pattern : matching) {
        for (const auto& name : orvane::matching(supported, pattern)) {
            kept.insert(name);
        }
    }
    return ModelUtilities::formatModelFiles({kept.begin(), kept.end()});
}

std::filesystem::path Sonavex::download(const std::string& variant,
                                        const std::optional<std::filesystem::path>& downloadBase,
                                        bool useBackgroundSession, const std::string& repo,
                                        const std::optional<std::string>& token, const std::string& endpoint,
                                        const DownloadProgressCallback& progressCallback, std::stop_token stop) {
    const orvane::HubApiWrapper hub(downloadBase, token, endpoint, useBackgroundSession);
    const Repo repoReference(repo);
    const auto source = CheckpointSource::forVariant(variant);
    try {
        std::string pattern = "*" + variant + "/*";
        const auto list = [&] {
            Logging::debug("Searching for models matching " + inQuotes(pattern) + " in " + repoText(repoReference));
            try {
                return hub.getFilenames(repoReference, "main", {pattern}, stop);
            } catch (const orvane::Hub::HubClientError& error) {
                // A repository the hub does not know offers nothing; a known variant is then built from
                // its checkpoint.
                using Kind = orvane::Hub::HubClientError::Kind;
                if (source && (error.kind() == Kind::authorizationRequired || error.kind() == Kind::fileNotFound)) {
                    return std::vector<std::string>{};
                }
                throw;
            }
        };
        auto names = list();
        auto folders = topFolders(names);
        if (folders.size() > 1) {
            Logging::debug("Multiple models found matching " + inQuotes(pattern));
            pattern = "*openai*" + variant + "/*";
            names = list();
            folders = topFolders(names);
        }
        const auto unavailable = [&] {
            return std::string(folders.size() > 1 ? "Multiple" : "No") + " models found matching " +
                   inQuotes(pattern) + " in " + repoText(repoReference);
        };
        if (source && !(folders.size() == 1 && holdsRuntimeModels(names, folders.front()))) {
            try {
                return source->build(hub, hub.localRepoLocation(repoReference) / source->modelName,
                                     progressCallback, stop);
            } catch (const WhisperError& error) {
                if (error.kind() != WhisperError::Kind::modelsUnavailable) {
                    throw;
                }
                // Neither the repository nor the checkpoint has it: say both.
                throw WhisperError::modelsUnavailable(unavailable() + ". " + error.message());
            }
        }
        if (folders.size() != 1) {
            throw WhisperError::modelsUnavailable(unavailable());
        }
        Logging::debug("Downloading model " + folders.front() + "...");
        const auto local = hub.snapshot(
            repoReference, "main", {pattern},
            [&](const orvane::Progress& progress) {
                Logging::debug("Download progress: " + std::to_string(progress.completedUnitCount()) + " of " +
                               std::to_string(progress.totalUnitCount()) + " units (" +
                               std::to_string(progress.fractionCompleted()) + ")");
                if (progressCallback) {
                    progressCallback(progress);
                }
            },
            stop);
        return local / folders.front();
    } catch (...) {
        Logging::debug(orvane::describeCurrentException());
        // A model set up before still works when the hub cannot be reached; one cut short says what it lacks.
        if (const auto code = orvane::hubUnreachableCode(std::current_exception())) {
            std::string gap;
            if (auto folder = completeLocalVariant(hub, repoReference, variant, source, gap)) {
                Logging::info("The hub cannot be reached (" + net::UrlError::description(*code) +
                              "); using the complete local copy of " + variant + " at " + folder->string());
                return *folder;
            }
            if (!gap.empty()) {
                throw orvane::unreachableWithoutStandIn(*code, "the local copy of " + variant, gap);
            }
        }
        throw;
    }
}

} // namespace sonavex
