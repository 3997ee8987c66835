#pragma once
// The name of a recording's folder: its start in local time as "yyyy-MM-dd_HHmmss" (Gregorian
// calendar, every field zero-padded), so the folders sort by time and the history finds them.

#include <chrono>
#include <string>

namespace velmora {

/// In the process's time zone (TZ, else the system's).
std::string sessionFolderName(std::chrono::system_clock::time_point moment);

} // namespace velmora
