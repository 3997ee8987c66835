#pragma once
// How the application's updater is set up: the feed address and version fixed when the program is built
// (cmake -DVELMORA_UPDATE_FEED_URL=https://…; empty leaves update checks off), and "immediate focus"
// meaning a window of the application is active.

#include "VelmoraCore/Updates/Updater.h"

namespace velmora::app {

/// The build's feed address (none when it was built without one) and version; failures of background
/// checks go to standard error.
Updater::Configuration applicationUpdaterConfiguration();

/// True while one of the application's windows is the active window. Needs the QApplication.
bool applicationIsInImmediateFocus();

} // namespace velmora::app
