#pragma once
// Keeps the display from sleeping for lack of user activity while something runs, through the
// session's screen-saver service (org.freedesktop.ScreenSaver: Inhibit, then UnInhibit with its cookie).
// The service ties an inhibition to the bus connection that asked for it, so each inhibitor holds a
// connection of its own while it inhibits and closes it on release: even a lost UnInhibit cannot leave
// the display awake for good.
//
// Not thread-safe: one owner calls it.

#include <chrono>
#include <cstdint>
#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace desktop {

class ScreenSaverInhibitor {
public:
    static constexpr const char* serviceName = "org.freedesktop.ScreenSaver";
    static constexpr const char* objectPath = "/org/freedesktop/ScreenSaver";

    /// `callTimeout` bounds each call, so a service that hangs cannot hold up its caller for long.
    explicit ScreenSaverInhibitor(std::chrono::milliseconds callTimeout = std::chrono::seconds(2));
    /// Releases a held inhibition.
    ~ScreenSaverInhibitor();
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

    /// Asks the service to keep the display awake, releasing an earlier inhibition first. False, with
    /// nothing held, when there is no session bus or no service, or it refuses.
    bool inhibit(const std::string& applicationName, const std::string& reason);
    /// Gives the inhibition back; does nothing when none is held. Never fails.
    void release();

    bool isInhibiting() const { return connection_ != nullptr; }

private:
    std::chrono::milliseconds callTimeout_;
    GDBusConnection* connection_ = nullptr;
    uint32_t cookie_ = 0;
};

} // namespace desktop
