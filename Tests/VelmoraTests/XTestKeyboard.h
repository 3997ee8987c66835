#pragma once
// Key presses on the private X display through the XTest extension, as a user's keyboard would make them.

#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace shelltest {

class XTestKeyboard {
public:
    explicit XTestKeyboard(const std::string& displayName);
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    bool isOpen() const { return display_ != nullptr; }
    /// Holds the keys down in order (X key-symbol names such as "Control_L"), then lets go in reverse.
    void press(const std::vector<std::string>& keys);
    /// Ctrl+Alt+R.
    void pressHotKey() { press({"Control_L", "Alt_L", "r"}); }

private:
    Display* display_;
};

} // namespace shelltest
