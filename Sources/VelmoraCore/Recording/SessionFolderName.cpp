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

namespace {

/// The decimal value of `count` ASCII digits at `offset`, or -1 when any is not a digit.
int digits(std::string_view text, std::size_t offset, std::size_t count) {
    int value = 0;
    for (std::size_t i = offset; i < offset + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<std::chrono::system_clock::time_point> sessionFolderDate(std::string_view name) {
    // "yyyy-MM-dd_HHmmss"
    if (name.size() != 17 || name[4] != '-' || name[7] != '-' || name[10] != '_') {
        return std::nullopt;
    }
    const int fields[] = {digits(name, 0, 4),  digits(name, 5, 2),  digits(name, 8, 2),
                          digits(name, 11, 2), digits(name, 13, 2), digits(name, 15, 2)};
    for (const int field : fields) {
        if (field < 0) {
            return std::nullopt;
        }
    }
    std::tm local{};
    local.tm_year = fields[0] - 1900;
    local.tm_mon = fields[1] - 1;
    local.tm_mday = fields[2];
    local.tm_hour = fields[3];
    local.tm_min = fields[4];
    local.tm_sec = fields[5];
    local.tm_isdst = -1;
    tzset();
    const std::time_t time = mktime(&local);
    // The clock counts in nanoseconds and so reaches only the years 1678 to 2261; a time beyond that
    // would overflow, and cannot be a date.
    using std::chrono::system_clock;
    constexpr auto earliest =
        std::chrono::ceil<std::chrono::seconds>(system_clock::time_point::min().time_since_epoch());
    constexpr auto latest =
        std::chrono::floor<std::chrono::seconds>(system_clock::time_point::max().time_since_epoch());
    if (time < earliest.count() || time > latest.count()) {
        return std::nullopt;
    }
    const auto moment = system_clock::time_point(std::chrono::seconds(time));
    // mktime carries out-of-range fields over (February 30th becomes March 1st), moves a time the clocks
    // skipped and answers -1 on failure; none of these names itself again, so none is a date.
    if (sessionFolderName(moment) != name) {
        return std::nullopt;
    }
    return moment;
}

std::filesystem::path makeSessionFolder(const std::filesystem::path& saveDirectory,
                                        std::chrono::system_clock::time_point moment) {
    for (;; moment += std::chrono::seconds(1)) {
        const auto folder = saveDirectory / sessionFolderName(moment);
        // create_directory answers false when the folder already exists, so a taken name is never reused.
        if (!std::filesystem::exists(std::filesystem::symlink_status(folder)) &&
            std::filesystem::create_directory(folder)) {
            return folder;
        }
    }
}

} // namespace velmora
