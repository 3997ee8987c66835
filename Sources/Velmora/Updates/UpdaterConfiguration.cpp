#include "Velmora/Updates/UpdaterConfiguration.h"

#include <QApplication>
#include <string_view>

namespace velmora::app {

Updater::Configuration applicationUpdaterConfiguration() {
    constexpr std::string_view feedUrl = VELMORA_UPDATE_FEED_URL;
    Updater::Configuration configuration{feedUrl.empty() ? std::nullopt : std::optional<std::string>(feedUrl),
                                         *desktop::UpdateVersion::parse(VELMORA_VERSION),
                                         applicationIsInImmediateFocus,
                                         {}};
    return configuration;
}

bool applicationIsInImmediateFocus() {
    return QApplication::activeWindow() != nullptr;
}

} // namespace velmora::app
