#pragma once
// One desktop notification, shown at once.

#include <string>

namespace desktop {

struct Notification {
    std::string title;
    std::string body;
    /// Plays the desktop's default notification sound with it.
    bool playsDefaultSound = true;
};

} // namespace desktop
