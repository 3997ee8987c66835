#include "Platform/Desktop/HotKeys/X11HotKeyGrab.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <future>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace desktop {

namespace {

// Xlib's error handler is process-wide, and its default ends the process: a grab another client already
// holds answers BadAccess asynchronously. Ours swallows every error on our own connections (noting a
// refused grab or a lost connection) and hands the rest to the handler that was there before.
struct ConnectionNotes {
    bool grabRefused = false;
    bool lost = false;
};
std::mutex registryMutex;
std::map<Display*, ConnectionNotes>& ourConnections() {
    static std::map<Display*, ConnectionNotes> displays;
    return displays;
}
XErrorHandler previousHandler = nullptr;
XIOErrorHandler previousIOHandler = nullptr;

ConnectionNotes notesOf(Display* display) {
    std::lock_guard lock(registryMutex);
    auto it = ourConnections().find(display);
    return it != ourConnections().end() ? it->second : ConnectionNotes{};
}

int handleXError(Display* display, XErrorEvent* error) {
    {
        std::lock_guard lock(registryMutex);
        auto it = ourConnections().find(display);
        if (it != ourConnections().end()) {
            if (error->request_code == 33 /* X_GrabKey */) {
                it->second.grabRefused = true;
            }
            return 0;
        }
    }
    return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

// A server that goes away (an XWayland that ends) must not end the process either, as Xlib's default
// does: our connection just stops delivering presses.
int handleXIOError(Display* display) {
    {
        std::lock_guard lock(registryMutex);
        auto it = ourConnections().find(display);
        if (it != ourConnections().end()) {
            it->second.lost = true;
            return 0;
        }
    }
    return previousIOHandler != nullptr ? previousIOHandler(display) : 0;
}

void installErrorHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        previousHandler = XSetErrorHandler(handleXError);
        previousIOHandler = XSetIOErrorHandler(handleXIOError);
    });
}

// The modifier bit a key symbol is mapped to (Alt and Num Lock move between Mod1..Mod5 by keymap).
unsigned modifierMaskOf(Display* display, KeySym symbol) {
    XModifierKeymap* map = XGetModifierMapping(display);
    if (map == nullptr) {
        return 0;
    }
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + k];
            if (code != 0 && XkbKeycodeToKeysym(display, code, 0, 0) == symbol) {
                mask = 1u << modifier;
                break;
            }
        }
    }
    XFreeModifiermap(map);
    return mask;
}

} // namespace

// The connection belongs to the grab's thread: it is opened, served and closed there and nowhere else.
// After a lost connection Xlib keeps the display locked for the thread that met the loss (it expects the
// process to end), so a call from any other thread would wait for that lock forever.
struct X11HotKeyGrab::State {
    std::string keySymbol;
    unsigned modifiers = 0;
    std::string displayName;
    std::function<void()> onPress;
    int wakeFd = -1;
    std::atomic<bool> active = false;
    std::thread thread;

    Display* display = nullptr;
    KeyCode keyCode = 0;
    std::vector<unsigned> masks;

    void run(std::promise<void> started) {
        open();
        started.set_value();
        if (display == nullptr) {
            return;
        }
        if (keyCode != 0) {
            serve();
        }
        close();
    }

    void open() {
        display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
        if (display == nullptr) {
            return; // no X server: no shortcut
        }
        XSetIOErrorExitHandler(display, [](Display*, void*) {}, nullptr);
        {
            std::lock_guard lock(registryMutex);
            ourConnections()[display] = {};
        }
        keyCode = XKeysymToKeycode(display, XStringToKeysym(keySymbol.c_str()));
        if (keyCode == 0) {
            return;
        }
        unsigned base = 0;
        if ((modifiers & static_cast<unsigned>(Modifier::control)) != 0) {
            base |= ControlMask;
        }
        if ((modifiers & static_cast<unsigned>(Modifier::shift)) != 0) {
            base |= ShiftMask;
        }
        if ((modifiers & static_cast<unsigned>(Modifier::alt)) != 0) {
            const unsigned alt = modifierMaskOf(display, XK_Alt_L);
            base |= alt != 0 ? alt : Mod1Mask;
        }
        // The grab matches the modifier state exactly, so Caps Lock or Num Lock being on would hide it.
        const unsigned numLock = modifierMaskOf(display, XK_Num_Lock);
        for (unsigned extra : {0u, unsigned(LockMask), numLock, LockMask | numLock}) {
            if (std::find(masks.begin(), masks.end(), base | extra) == masks.end()) {
                masks.push_back(base | extra);
            }
        }
        const Window root = DefaultRootWindow(display);
        for (unsigned mask : masks) {
            XGrabKey(display, keyCode, mask, root, False, GrabModeAsync, GrabModeAsync);
        }
        XkbSetDetectableAutoRepeat(display, True, nullptr);
        XSync(display, False); // the refusal, if any, arrives by now
        const ConnectionNotes notes = notesOf(display);
        active = !notes.grabRefused && !notes.lost;
    }

    // Until the owner wakes the thread or the server goes away.
    void serve() {
        bool down = false;
        pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        for (;;) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == KeyPress && event.xkey.keycode == keyCode) {
                    // With detectable auto-repeat a held key sends presses without releases.
                    if (!down) {
                        down = true;
                        onPress();
                    }
                } else if (event.type == KeyRelease && event.xkey.keycode == keyCode) {
                    down = false;
                }
            }
            // A lost connection stays readable (at its end) and XPending has nothing more to say.
            if (notesOf(display).lost) {
                return;
            }
            if (poll(fds, 2, -1) < 0 && errno != EINTR) {
                return;
            }
            if ((fds[1].revents & POLLIN) != 0 || (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
                return;
            }
        }
    }

    void close() {
        if (keyCode != 0 && !notesOf(display).lost) {
            const Window root = DefaultRootWindow(display);
            for (unsigned mask : masks) {
                XUngrabKey(display, keyCode, mask, root);
            }
            XSync(display, False);
        }
        {
            // Forgotten before closing: a later connection may get the same address.
            std::lock_guard lock(registryMutex);
            ourConnections().erase(display);
        }
        XCloseDisplay(display);
        display = nullptr;
    }
};

X11HotKeyGrab::X11HotKeyGrab(const std::string& keySymbol, unsigned modifiers, std::function<void()> onPress,
                             const std::string& displayName)
    : state_(std::make_unique<State>()) {
    state_->keySymbol = keySymbol;
    state_->modifiers = modifiers;
    state_->displayName = displayName;
    state_->onPress = std::move(onPress);
    installErrorHandlers();
    state_->wakeFd = eventfd(0, EFD_CLOEXEC);
    if (state_->wakeFd < 0) {
        return; // nothing could stop a serving thread: no shortcut
    }
    std::promise<void> started;
    auto opened = started.get_future();
    state_->thread = std::thread(
        [state = state_.get(), started = std::move(started)]() mutable { state->run(std::move(started)); });
    opened.wait();
}

X11HotKeyGrab::~X11HotKeyGrab() {
    if (state_->thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = write(state_->wakeFd, &one, sizeof one);
        state_->thread.join();
    }
    if (state_->wakeFd >= 0) {
        ::close(state_->wakeFd);
    }
}

bool X11HotKeyGrab::isActive() const {
    return state_->active;
}

} // namespace desktop
