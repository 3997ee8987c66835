#pragma once
// Where one model variant is fetched from: the engine's download arguments.

#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

struct ModelDownloadRequest {
    std::string variant;
    /// None: the hub client's own mirror base ("huggingface" in the user's Documents folder).
    std::optional<std::filesystem::path> downloadBase;
    bool useBackgroundSession = false;
    std::string repository;
    std::optional<std::string> token;
    std::string endpoint;
};

} // namespace velmora
