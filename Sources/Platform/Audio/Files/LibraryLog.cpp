#include "Platform/Audio/Files/LibraryLog.h"

#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace audio {

void quietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

} // namespace audio
