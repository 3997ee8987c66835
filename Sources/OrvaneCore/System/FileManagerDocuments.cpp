#include "OrvaneCore/System/FileManager.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace orvane {

namespace {

std::optional<std::string> nonEmptyEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::filesystem::path configHome(const std::string& home) {
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (auto configured = nonEmptyEnvironment("XDG_CONFIG_HOME"); configured && configured->starts_with('/')) {
        return *configured;
    }
    return std::filesystem::path(home) / ".config";
}

// The value of one `XDG_DOCUMENTS_DIR="$HOME/Documents"` line: double-quoted, starting with "$HOME" or
// "/", backslash escaping the next character. Anything else is not a usable folder.
std::optional<std::string> documentsEntry(const std::string& line, const std::string& home) {
    static const std::string key = "XDG_DOCUMENTS_DIR";
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, key.size(), key) != 0) {
        return std::nullopt;
    }
    at = line.find_first_not_of(" \t", at + key.size());
    if (at == std::string::npos || line[at] != '=') {
        return std::nullopt;
    }
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || line[at] != '"') {
        return std::nullopt;
    }
    std::string value;
    bool closed = false;
    for (std::size_t i = at + 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            value += line[++i];
        } else if (line[i] == '"') {
            closed = true;
            break;
        } else {
            value += line[i];
        }
    }
    if (!closed) {
        return std::nullopt;
    }
    if (value == "$HOME" || value.starts_with("$HOME/")) {
        return home + value.substr(5);
    }
    if (value.starts_with('/')) {
        return value;
    }
    return std::nullopt;
}

} // namespace

std::filesystem::path FileManager::documentsDirectory() {
    const std::string home = resolveAbsolutePath("~");
    std::optional<std::string> documents;
    std::ifstream userDirs(configHome(home) / "user-dirs.dirs");
    for (std::string line; std::getline(userDirs, line);) {
        if (auto entry = documentsEntry(line, home)) {
            documents = std::move(entry); // the last definition wins, as the shell that sources the file sees it
        }
    }
    if (documents) {
        return std::filesystem::path(*documents).lexically_normal();
    }
    return std::filesystem::path(home) / "Documents";
}

} // namespace orvane
