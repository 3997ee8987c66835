#include "OrvaneCore/External/Tokenizers/Strings/FailedSearch.h"

#include "OrvaneCore/Logging/Logging.h"

#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace orvane {

void reportFailedSearch(std::string_view stage, const text::RegexError& error) {
    static std::mutex mutex;
    static std::set<std::pair<std::string, std::string>> reported;
    {
        std::lock_guard lock(mutex);
        if (!reported.emplace(std::string(stage), error.pattern()).second)
            return;
    }
    Logging::error(std::string(stage) + ": " + error.what() + " (the text is kept whole)");
}

} // namespace orvane
