#pragma once
// Scheduled finds while the application is in the background interrupt nobody: the update goes into the
// availability store (badge and banner) instead of a window, and leaves it once the user has seen it.
// The store is written only from tasks posted to the main thread, never inside a driver callback.

#include "VelmoraCore/MainThreadDispatcher.h"
#include "VelmoraCore/Updates/UpdateAvailabilityStore.h"
#include "VelmoraCore/Updates/UpdateUserDriverDelegate.h"

#include <memory>

namespace velmora {

class GentleUpdateDelegate final : public UpdateUserDriverDelegate {
public:
    /// Keeps the store alive for as long as the delegate or one of its posted writes needs it.
    GentleUpdateDelegate(std::shared_ptr<UpdateAvailabilityStore> store, MainThreadDispatcher& mainThread);

    const std::shared_ptr<UpdateAvailabilityStore>& store() const { return store_; }

    /// Always true.
    bool supportsGentleScheduledUpdateReminders() override;
    /// `immediateFocus` unchanged: only a user who is looking at the application gets a window.
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const desktop::UpdateItem& update,
                                                              bool immediateFocus) override;
    /// When the driver will not show it, records the update (replacing an earlier one).
    void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                   const desktop::UpdateItem& update,
                                                   const UserUpdateState& state) override;
    /// Clears the record, whichever update it holds.
    void standardUserDriverDidReceiveUserAttentionForUpdate(const desktop::UpdateItem& update) override;

private:
    std::shared_ptr<UpdateAvailabilityStore> store_;
    MainThreadDispatcher& mainThread_;
};

} // namespace velmora
