#pragma once
// What the recorder asks for when it creates its tap: the mix of everything every application plays,
// none excluded, left audible to the user.

#include <string>

namespace velmora {

struct TapDescription {
    /// Shown where the system lists captures ("Velmora System Tap").
    std::string name;
    /// A fresh identity; also the tap's UID when the system gives it none of its own.
    std::string uuid;
    /// Kept from other applications' device lists.
    bool isPrivate = true;
    /// 0: the user still hears what is tapped.
    int muteBehavior = 0;
};

} // namespace velmora
