#pragma once
// The name of a recording's folder: its start in local time as "yyyy-MM-dd_HHmmss" (Gregorian
// calendar, every field zero-padded), so the folders sort by time and the history finds them.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

/// In the process's time zone (TZ, else the system's).
std::string sessionFolderName(std::chrono::system_clock::time_point moment);

/// The start a folder name stands for: the whole name in exactly that form, naming a local time that
/// exists (so it names itself again); none otherwise.
std::optional<std::chrono::system_clock::time_point> sessionFolderDate(std::string_view name);

/// Makes the folder of a recording started at `moment` in `saveDirectory` (which exists) and returns it.
/// A name already taken (a recording started within the same second) moves to the next free second, so
/// one recording's raw files never replace another's and every name keeps the pattern.
std::filesystem::path makeSessionFolder(const std::filesystem::path& saveDirectory,
                                        std::chrono::system_clock::time_point moment);

} // namespace velmora
