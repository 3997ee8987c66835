#include "OrvaneCore/System/FileManager.h"

namespace orvane {

std::vector<std::filesystem::path> FileManager::getFileUrls(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code error;
    fs::recursive_directory_iterator entries(folder, fs::directory_options::skip_permission_denied, error);
    if (error) {
        return files;
    }
    for (auto it = entries; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const fs::path& path = it->path();
        if (path.filename().string().starts_with('.')) {
            it.disable_recursion_pending();
            continue;
        }
        // The entry itself, not what a symbolic link points to, as the platform's regular-file flag.
        if (it->symlink_status().type() == fs::file_type::regular) {
            files.push_back(path);
        }
    }
    return files;
}

} // namespace orvane
