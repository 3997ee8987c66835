#pragma once
// Writes a file so that readers see either the old content or the new, never a half-written one:
// the bytes go to a temporary file beside the target, which then replaces it by a rename.

#include <filesystem>
#include <string_view>

namespace orvane {

struct AtomicFile {
    /// Throws std::filesystem::filesystem_error (the target is left as it was).
    static void write(const std::filesystem::path& file, std::string_view contents);
};

} // namespace orvane
