#include "Platform/Audio/Files/LibraryLog.h"

#include <cstdarg>
#include <mutex>
#include <utility>

extern "C" {
#include <libavutil/log.h>
}

namespace audio {

namespace {

thread_local std::string lastError;

// Keeps the text of each error, then writes the message as the library itself would.
void keepErrors(void* context, int level, const char* format, va_list arguments) {
    if ((level & 0xff) <= AV_LOG_ERROR) {
        va_list copy;
        va_copy(copy, arguments);
        char text[512];
        int printPrefix = 0; // the text alone, without "[aac @ 0x…]"
        if (av_log_format_line2(context, level, format, copy, text, sizeof text, &printPrefix) >= 0) {
            lastError = text;
            while (!lastError.empty() && (lastError.back() == '\n' || lastError.back() == ' ')) {
                lastError.pop_back();
            }
        }
        va_end(copy);
    }
    av_log_default_callback(context, level, format, arguments);
}

} // namespace

void quietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_ERROR);
        av_log_set_callback(keepErrors);
    });
}

std::string takeLibraryError() {
    return std::exchange(lastError, {});
}

} // namespace audio
