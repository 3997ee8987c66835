#include "Velmora/Lifecycle/AppDelegate.h"

#include "Velmora/Lifecycle/InstallLocationCheck.h"

namespace velmora::app {

AppDelegate::AppDelegate(InstallLocationCheck* installCheck) : installCheck_(installCheck) {}

void AppDelegate::applicationDidFinishLaunching() {
    if (installCheck_ != nullptr) {
        installCheck_->runIfNeeded();
    }
}

void AppDelegate::openURLs(const QStringList& urls) {
    for (const QString& url : urls) {
        // Read for each address: an action may replace itself.
        if (auto action = onURLReceived) {
            action(url.toStdString());
        }
    }
}

} // namespace velmora::app
