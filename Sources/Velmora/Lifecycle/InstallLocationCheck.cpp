#include "Velmora/Lifecycle/InstallLocationCheck.h"

#include "Platform/Desktop/UrlHandling/UrlSchemeRegistration.h"
#include "Velmora/Lifecycle/InstallLocation.h"

#include <cstdlib>

namespace velmora::app {

InstallLocationCheck::Paths InstallLocationCheck::Paths::current() {
    const char* home = std::getenv("HOME");
    return {desktop::UrlSchemeRegistration::currentExecutable(), home != nullptr ? home : ""};
}

InstallLocationCheck::InstallLocationCheck(Paths paths, InstallAlerts& alerts, AppLifecycle& lifecycle)
    : paths_(std::move(paths)), alerts_(alerts), lifecycle_(lifecycle) {}

void InstallLocationCheck::runIfNeeded() {
    const auto tree = InstallLocation::installTree(paths_.executable);
    if (!tree || InstallLocation::isInstalled(*tree, paths_.home)) {
        return;
    }
    if (alerts_.offerMove()) {
        moveAndRelaunch(*tree);
    }
}

void InstallLocationCheck::moveAndRelaunch(const std::filesystem::path& tree) {
    std::string problem;
    try {
        if (paths_.home.empty()) {
            throw std::runtime_error("HOME is not set");
        }
        const std::filesystem::path destination = InstallLocation::moveDestination(paths_.home);
        InstallLocation::copyReplacing(tree, destination);
        const auto failure = lifecycle_.relaunch(destination / "bin" / paths_.executable.filename());
        if (!failure) {
            return; // this process ends; the copy takes over
        }
        problem = *failure;
    } catch (const std::exception& error) {
        problem = InstallLocation::describe(error);
    }
    alerts_.showMoveFailure(problem);
}

} // namespace velmora::app
