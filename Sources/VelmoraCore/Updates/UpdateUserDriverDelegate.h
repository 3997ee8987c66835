#pragma once
// The four questions the updater's user driver asks before it shows a found update, in the order it asks
// them. The defaults are those of a driver that always shows updates at once; a delegate overrides what
// it wants to decide. Called on the main thread.

#include "Platform/Desktop/Updates/UpdateItem.h"

namespace velmora {

/// How the update came to be shown.
struct UserUpdateState {
    /// True for a check the user asked for, false for a scheduled one.
    bool userInitiated = false;
};

class UpdateUserDriverDelegate {
public:
    virtual ~UpdateUserDriverDelegate() = default;

    /// Whether the delegate may keep a scheduled find to itself instead of the driver showing it.
    virtual bool supportsGentleScheduledUpdateReminders() { return false; }

    /// Asked for an update found by a scheduled check, when gentle reminders are supported: true lets
    /// the driver show it now. `immediateFocus`: a window of the application is active.
    virtual bool standardUserDriverShouldHandleShowingScheduledUpdate(const desktop::UpdateItem& update,
                                                                      bool immediateFocus) {
        return true;
    }

    /// Told for every found update, with the driver's decision, just before the driver shows it (or not).
    virtual void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                           const desktop::UpdateItem& update,
                                                           const UserUpdateState& state) {}

    /// Told once the user has seen the update in the driver's window.
    virtual void standardUserDriverDidReceiveUserAttentionForUpdate(const desktop::UpdateItem& update) {}
};

} // namespace velmora
