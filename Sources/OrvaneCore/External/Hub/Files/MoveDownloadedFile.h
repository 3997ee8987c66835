#pragma once
// Puts a finished download in its place. The replacement is atomic: the destination holds either its
// old content or the new file, never nothing, whatever fails on the way.

#include <filesystem>

namespace orvane {

/// Creates the destination's parent folders, then renames `source` over `destination`. Across file
/// systems the file is copied next to the destination first and renamed from there. Throws
/// std::filesystem::filesystem_error; on failure the destination is unchanged.
void moveDownloadedFile(const std::filesystem::path& source, const std::filesystem::path& destination);

} // namespace orvane
