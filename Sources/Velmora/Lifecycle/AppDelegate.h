#pragma once
// The application's answers to the desktop: when launching has finished it runs the install-location
// check, and the addresses it is asked to open (the sign-in answer, handed over by a later start of the
// program) go, one by one in order, to the action the application sets. Main thread only.

#include <QStringList>
#include <functional>
#include <string>

namespace velmora::app {

class InstallLocationCheck;

class AppDelegate {
public:
    /// `installCheck` may be null (no check, e.g. --no-install-check) and must outlive the delegate.
    explicit AppDelegate(InstallLocationCheck* installCheck = nullptr);

    /// Set by the application; an address that arrives while it is empty is dropped.
    std::function<void(const std::string& url)> onURLReceived;

    void applicationDidFinishLaunching();
    void openURLs(const QStringList& urls);

private:
    InstallLocationCheck* installCheck_;
};

} // namespace velmora::app
