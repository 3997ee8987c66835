#include "VelmoraCore/Recording/SessionFolderName.h"

#include <cstdio>
#include <ctime>

namespace velmora {

std::string sessionFolderName(std::chrono::system_clock::time_point moment) {
    // Whole seconds rounded down, so a moment just before a second's end still names that second.
    const auto seconds = std::chrono::floor<std::chrono::seconds>(moment.time_since_epoch()).count();
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    tzset();
    localtime_r(&time, &local);
    char name[64];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d_%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return name;
}

} // namespace velmora
