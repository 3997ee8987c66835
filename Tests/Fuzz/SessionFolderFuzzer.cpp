// Recording folder names as the history reads them (the first byte picks the time zone, the rest is
// the name): a name stands for a date only when it names itself again; listed in a save folder, a folder
// of any name gets that date or its modification time, and a date the history can show.

#include "Fuzz/FuzzSupport.h"
#include "VelmoraCore/History/HistoryListing.h"
#include "VelmoraCore/Recording/SessionFolderName.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace {

constexpr const char* zones[] = {
    "UTC", "Asia/Tokyo", "Europe/Berlin", "America/New_York", "Pacific/Kiritimati", "Pacific/Pago_Pago"};

bool isFileName(std::string_view name) {
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    setenv("TZ", zones[data[0] % std::size(zones)], 1);
    tzset();
    const std::string name(reinterpret_cast<const char*>(data) + 1, size - 1);

    const auto date = velmora::sessionFolderDate(name);
    if (date && velmora::sessionFolderName(*date) != name) {
        std::abort();
    }
    if (!isFileName(name)) {
        return 0;
    }
    const auto saveFolder = fuzz::scratchFolder() / "history";
    std::error_code ignored;
    std::filesystem::remove_all(saveFolder, ignored);
    fuzz::writeScratch("history/" + name + "/" + velmora::HistoryListing::transcriptFileName, name);
    const auto sessions = velmora::HistoryListing::loadSessions(saveFolder);
    if (name.starts_with('.')) {
        if (!sessions.empty()) {
            std::abort(); // hidden
        }
        return 0;
    }
    if (sessions.size() != 1 || sessions[0].id != name) {
        std::abort();
    }
    if (date && sessions[0].date != std::chrono::time_point_cast<std::chrono::microseconds>(*date)) {
        std::abort();
    }
    (void)velmora::HistoryListing::dateText(sessions[0].date);
    (void)velmora::HistoryListing::previewText(sessions[0]);
    (void)velmora::HistoryListing::detailText(velmora::HistoryListing::select(sessions[0]));
    return 0;
}
