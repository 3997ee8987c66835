#include "Sonavex/Utilities/Logging/AbsoluteTime.h"

#include <chrono>
#include <ctime>

namespace sonavex {

namespace {
constexpr double kSecondsFrom1970To2001 = 978307200.0;
}

double currentAbsoluteTime() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceEpoch).count() - kSecondsFrom1970To2001;
}

std::string currentDateDescription() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &parts);
    return text;
}

} // namespace sonavex
