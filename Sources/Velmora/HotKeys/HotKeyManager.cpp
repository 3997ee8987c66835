#include "Velmora/HotKeys/HotKeyManager.h"

#include "Platform/Desktop/HotKeys/X11HotKeyGrab.h"

namespace velmora::app {

HotKeyManager::HotKeyManager(MainThreadDispatcher& mainThread, std::function<void()> onTrigger,
                             const std::string& displayName)
    : onTrigger_(std::move(onTrigger)) {
    using Modifier = desktop::X11HotKeyGrab::Modifier;
    // Main-thread state (`alive_`, `onTrigger_`) is only read inside the posted task.
    grab_ = std::make_unique<desktop::X11HotKeyGrab>(
        "r", Modifier::control | Modifier::alt,
        [&mainThread, alive = std::weak_ptr<bool>(alive_), this] {
            mainThread.post([alive, this] {
                if (!alive.expired() && onTrigger_) {
                    onTrigger_();
                }
            });
        },
        displayName);
}

HotKeyManager::~HotKeyManager() {
    grab_.reset(); // no press is seen after this
    alive_.reset();
}

bool HotKeyManager::isRegistered() const {
    return grab_->isActive();
}

} // namespace velmora::app
