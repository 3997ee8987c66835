#include "XTestKeyboard.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace shelltest {

XTestKeyboard::XTestKeyboard(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {}

XTestKeyboard::~XTestKeyboard() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

void XTestKeyboard::press(const std::vector<std::string>& keys) {
    std::vector<KeyCode> codes;
    for (const std::string& key : keys) {
        codes.push_back(XKeysymToKeycode(display_, XStringToKeysym(key.c_str())));
    }
    for (KeyCode code : codes) {
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
    }
    for (auto code = codes.rbegin(); code != codes.rend(); ++code) {
        XTestFakeKeyEvent(display_, *code, False, CurrentTime);
    }
    XSync(display_, False);
}

} // namespace shelltest
