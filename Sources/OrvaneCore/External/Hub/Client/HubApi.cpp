#include "OrvaneCore/External/Hub/Client/HubApi.h"

#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Hub/Files/FileReadError.h"
#include "OrvaneCore/System/FileManager.h"
#include "OrvaneCore/Text/Encoding.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace orvane {

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

// A token file's whole text; nothing when missing, unreadable or not UTF-8.
std::optional<std::string> readTokenFile(const std::string& path) {
    try {
        std::string text = FileReadError::readContents(path);
        if (!text::isValidUtf8(text)) {
            return std::nullopt;
        }
        return text;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

HubApi::HubApi(std::optional<std::filesystem::path> downloadBase, std::optional<std::string> hfToken,
               std::optional<std::string> endpoint, bool useBackgroundSession, std::optional<bool> useOfflineMode)
    : useBackgroundSession(useBackgroundSession), useOfflineMode(useOfflineMode) {
    this->hfToken = hfToken ? hfToken : hfTokenFromEnv();
    if (environment("CI_DISABLE_NETWORK_MONITOR") == "1") {
        std::cout << (this->hfToken ? "\u2705 got token" : "\U0001F534 NO TOKEN **") << std::endl;
    }
    this->downloadBase = downloadBase ? *downloadBase
                                      : FileManager::documentsDirectory() / "huggingface";
    if (endpoint) {
        this->endpoint = *endpoint;
    } else if (auto fromEnvironment = environment("HF_ENDPOINT")) {
        this->endpoint = *fromEnvironment;
    } else {
        this->endpoint = defaultEndpoint;
    }
    NetworkMonitor::shared().startMonitoring();
}

std::optional<std::string> HubApi::hfTokenFromEnv() {
    std::vector<std::optional<std::string>> candidates;
    candidates.push_back(environment("HF_TOKEN"));
    candidates.push_back(environment("HUGGING_FACE_HUB_TOKEN"));
    for (const auto& candidate : candidates) {
        if (candidate && !candidate->empty()) {
            return candidate;
        }
    }
    std::vector<std::string> files;
    if (auto path = environment("HF_TOKEN_PATH")) {
        files.push_back(FileManager::resolveAbsolutePath(*path));
    }
    if (auto home = environment("HF_HOME")) {
        files.push_back((std::filesystem::path(FileManager::resolveAbsolutePath(*home)) / "token").string());
    }
    std::filesystem::path home = FileManager::resolveAbsolutePath("~");
    files.push_back((home / ".cache/huggingface/token").string());
    files.push_back((home / ".huggingface/token").string());
    for (const auto& file : files) {
        // Taken verbatim, final line break included; the header is what gets cleaned.
        if (auto token = readTokenFile(file); token && !token->empty()) {
            return token;
        }
    }
    return std::nullopt;
}

std::optional<std::string> HubApi::authorizationHeader(const std::optional<std::string>& token) {
    if (!token) {
        return std::nullopt;
    }
    const char* space = " \t\r\n\v\f";
    size_t begin = token->find_first_not_of(space);
    if (begin == std::string::npos) {
        return std::nullopt;
    }
    size_t end = token->find_last_not_of(space);
    std::string trimmed = token->substr(begin, end - begin + 1);
    for (unsigned char c : trimmed) {
        if (c < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    return "Bearer " + trimmed;
}

std::filesystem::path HubApi::localRepoLocation(const Repo& repo) const {
    return downloadBase / rawValue(repo.type) / std::filesystem::path(repo.id);
}

std::filesystem::path HubApi::metadataFolder(const Repo& repo) const {
    return localRepoLocation(repo) / ".cache" / "huggingface" / "download";
}

net::Url HubApi::endpointUrl() const {
    auto url = net::Url::parse(endpoint);
    if (!url || (url->scheme() != "http" && url->scheme() != "https") || url->host().empty()) {
        throw Hub::HubClientError::parseError("Invalid hub endpoint \"" + endpoint + "\"");
    }
    return *url;
}

net::Url HubApi::listingUrl(const Repo& repo, const std::string& revision) const {
    return endpointUrl()
        .appendingPathComponent("api")
        .appendingPathComponent(rawValue(repo.type))
        .appendingPath(repo.id)
        .appendingPathComponent("revision")
        .appendingPathComponent(revision);
}

Config HubApi::configuration(const std::filesystem::path& fileURL) const {
    std::string data = FileReadError::readContents(fileURL);
    Config parsed;
    try {
        parsed = BomPreservingJsonReader::bomPreservingJsonObject(data);
    } catch (const std::exception&) { // a parse error, or nesting too deep to hold
        throw Hub::HubClientError::jsonSerialization(
            fileURL, "JSON Serialization failed for " + net::fileUrlString(fileURL) +
                         ". Please verify that you have set the HF_TOKEN environment variable.");
    }
    if (parsed.kind() != Config::Kind::dictionary) {
        throw Hub::HubClientError::parse();
    }
    return parsed;
}

RedirectSessionActor& HubApi::redirectSession() {
    static RedirectSessionActor* actor = new RedirectSessionActor();
    return *actor;
}

} // namespace orvane
