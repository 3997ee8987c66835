#pragma once
// The application's global hot key, Ctrl+Alt+R (Alt standing for the Option key), registered while the
// manager lives. Presses are seen on the hot-key grab's own thread and posted to the main thread, where
// the trigger runs once per press. A shortcut the display refuses (another client holds it) or no X
// display at all leaves a manager without shortcut; nothing is reported.

#include "VelmoraCore/MainThreadDispatcher.h"

#include <functional>
#include <memory>
#include <string>

namespace desktop {
class X11HotKeyGrab;
}

namespace velmora::app {

class HotKeyManager {
public:
    /// Registers at once. `mainThread` must outlive the manager. `displayName` empty means $DISPLAY.
    HotKeyManager(MainThreadDispatcher& mainThread, std::function<void()> onTrigger,
                  const std::string& displayName = {});
    /// Unregisters; presses already posted are dropped.
    ~HotKeyManager();
    HotKeyManager(const HotKeyManager&) = delete;
    HotKeyManager& operator=(const HotKeyManager&) = delete;

    /// Whether the shortcut is registered (false without an X display or when another client holds it).
    bool isRegistered() const;

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::function<void()> onTrigger_;
    std::unique_ptr<desktop::X11HotKeyGrab> grab_;
};

} // namespace velmora::app
