#include "OrvaneCore/External/Hub/Files/MoveDownloadedFile.h"

#include "OrvaneCore/System/Uuid.h"

#include <cerrno>
#include <system_error>

namespace orvane {

namespace fs = std::filesystem;

void moveDownloadedFile(const fs::path& source, const fs::path& destination) {
    if (destination.has_parent_path()) {
        fs::create_directories(destination.parent_path());
    }
    std::error_code error;
    fs::rename(source, destination, error);
    if (!error) {
        return;
    }
    if (error != std::errc::cross_device_link) {
        throw fs::filesystem_error("cannot move the downloaded file", source, destination, error);
    }
    // Another file system: copy beside the destination, then rename there, so the destination is
    // still replaced in one step.
    const fs::path staging = destination.parent_path() /
                             ("." + destination.filename().string() + "." + Uuid().uuidString() + ".moving");
    try {
        fs::copy_file(source, staging, fs::copy_options::overwrite_existing);
        fs::rename(staging, destination);
    } catch (...) {
        fs::remove(staging, error);
        throw;
    }
    fs::remove(source, error);
}

} // namespace orvane
