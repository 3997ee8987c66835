// The update feed as the updater reads it: a feed is refused as a whole or every item is sound (a
// version that reads again as itself, an address the update policy allows), and the update it offers
// is newer than the running version.

#include "Platform/Desktop/Updates/UpdateFeed.h"
#include "Platform/Desktop/Updates/UpdateFeedError.h"
#include "Platform/Desktop/Updates/UpdateUrlPolicy.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto version = desktop::UpdateVersion::parse(text)) {
        const auto again = desktop::UpdateVersion::parse(version->text());
        if (!again || *again != *version || version->text() != text) {
            std::abort();
        }
    }
    (void)desktop::isAllowedUpdateUrl(text);
    try {
        const desktop::UpdateFeed feed = desktop::UpdateFeed::parse(text);
        if (feed.items().empty()) {
            std::abort();
        }
        for (const desktop::UpdateItem& item : feed.items()) {
            if (!desktop::isAllowedUpdateUrl(item.url()) || item.displayVersionString().empty() ||
                !desktop::UpdateVersion::parse(item.version().text())) {
                std::abort();
            }
            // Whatever the running version, what is offered is newer than it.
            if (const auto update = feed.newestAbove(item.version())) {
                if (!(update->version() > item.version())) {
                    std::abort();
                }
            }
        }
    } catch (const desktop::UpdateFeedError&) {
        // not a sound feed
    }
    return 0;
}
