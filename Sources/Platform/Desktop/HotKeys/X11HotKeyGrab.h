#pragma once
// One system-wide key combination on an X11 display: a passive grab of the key on the root window,
// with and without Caps Lock and Num Lock, on a display connection of its own served by its own
// thread. A combination another client already holds, or no X display at all (a pure Wayland
// session), leaves a grab that never fires; nothing is reported and the process goes on.

#include <functional>
#include <memory>
#include <string>

namespace desktop {

class X11HotKeyGrab {
public:
    enum class Modifier : unsigned { control = 1, alt = 2, shift = 4 };

    /// Grabs `keySymbol` (an X key-symbol name such as "r") with the modifiers (a bitwise or of
    /// Modifier values) on `displayName` (empty: $DISPLAY). `onPress` runs on the grab's own thread,
    /// once per press (held keys do not repeat).
    X11HotKeyGrab(const std::string& keySymbol, unsigned modifiers, std::function<void()> onPress,
                  const std::string& displayName = {});
    /// Removes the grab; no `onPress` call starts after this returns.
    ~X11HotKeyGrab();
    X11HotKeyGrab(const X11HotKeyGrab&) = delete;
    X11HotKeyGrab& operator=(const X11HotKeyGrab&) = delete;

    /// True when the display accepted every variant of the grab, so presses reach `onPress`.
    bool isActive() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

constexpr unsigned operator|(X11HotKeyGrab::Modifier a, X11HotKeyGrab::Modifier b) {
    return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}

} // namespace desktop
