#include "VelmoraCore/Updates/GentleUpdateDelegate.h"

namespace velmora {

GentleUpdateDelegate::GentleUpdateDelegate(std::shared_ptr<UpdateAvailabilityStore> store,
                                           MainThreadDispatcher& mainThread)
    : store_(std::move(store)), mainThread_(mainThread) {}

bool GentleUpdateDelegate::supportsGentleScheduledUpdateReminders() {
    return true;
}

bool GentleUpdateDelegate::standardUserDriverShouldHandleShowingScheduledUpdate(const desktop::UpdateItem&,
                                                                                bool immediateFocus) {
    return immediateFocus;
}

void GentleUpdateDelegate::standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                                     const desktop::UpdateItem& update,
                                                                     const UserUpdateState&) {
    if (handleShowingUpdate) {
        return; // the driver's own window shows it
    }
    mainThread_.post([store = store_, update] { store->setPendingUpdate(update); });
}

void GentleUpdateDelegate::standardUserDriverDidReceiveUserAttentionForUpdate(const desktop::UpdateItem&) {
    mainThread_.post([store = store_] { store->setPendingUpdate(std::nullopt); });
}

} // namespace velmora
