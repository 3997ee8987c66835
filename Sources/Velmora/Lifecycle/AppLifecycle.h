#pragma once
// The application as a process: restart() starts the running program anew and ends this process, and
// relaunch() hands over to another copy of the program. Either way the single-instance socket is closed
// before the new process starts, or the new one would hand itself to this dying one and exit. Main
// thread only.

#include <QStringList>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace velmora::app {

class SingleInstance;

class AppLifecycle {
public:
    /// How processes start and end; tests replace either.
    struct ProcessControl {
        /// Starts a program detached from this one; returns why it could not start, or none.
        std::function<std::optional<std::string>(const std::filesystem::path& program, const QStringList& arguments)>
            startDetached;
        /// Ends this process once control is back in the event loop.
        std::function<void()> terminate;

        static ProcessControl system();
    };

    /// `instance` may be null (nothing to close) and must outlive this object. `executable` is the
    /// running program; `arguments` are what a restarted one gets.
    AppLifecycle(SingleInstance* instance, std::filesystem::path executable, QStringList arguments,
                 ProcessControl control = ProcessControl::system());

    /// Starts the running program again and ends this process, also when the start fails.
    void restart();
    /// Starts `executable` in place of this one: ends this process when it started, else keeps this
    /// one running (and listening) and returns why.
    std::optional<std::string> relaunch(const std::filesystem::path& executable);

private:
    SingleInstance* instance_;
    std::filesystem::path executable_;
    QStringList arguments_;
    ProcessControl control_;
};

} // namespace velmora::app
