#pragma once
// At launch: a program running from an install tree outside the installed places is offered a move to
// "$HOME/.local/opt/velmora", which copies the tree there and starts the copy in place of this process.
// Declined, nothing is remembered and the offer comes again at the next launch; a failed move is shown
// and the program goes on where it is. Main thread only (the alerts are modal).

#include "Velmora/Lifecycle/AppLifecycle.h"
#include "Velmora/Lifecycle/InstallAlerts.h"

#include <filesystem>

namespace velmora::app {

class InstallLocationCheck {
public:
    struct Paths {
        /// The running program.
        std::filesystem::path executable;
        /// The user's home folder (empty: unknown).
        std::filesystem::path home;

        /// The running program and $HOME.
        static Paths current();
    };

    /// `alerts` and `lifecycle` must outlive the check.
    InstallLocationCheck(Paths paths, InstallAlerts& alerts, AppLifecycle& lifecycle);

    /// The check and the offer.
    void runIfNeeded();

private:
    void moveAndRelaunch(const std::filesystem::path& tree);

    Paths paths_;
    InstallAlerts& alerts_;
    AppLifecycle& lifecycle_;
};

} // namespace velmora::app
