#include "VelmoraCore/Updates/StandardUserDriver.h"

namespace velmora {

StandardUserDriver::StandardUserDriver(UpdateUserDriverDelegate& delegate, UpdatePresenter& presenter)
    : delegate_(delegate), presenter_(presenter) {}

void StandardUserDriver::showUpdateFound(const desktop::UpdateItem& update, const UserUpdateState& state,
                                         bool immediateFocus) {
    bool handleShowing = true;
    if (!state.userInitiated && delegate_.supportsGentleScheduledUpdateReminders()) {
        handleShowing =
            delegate_.standardUserDriverShouldHandleShowingScheduledUpdate(update, immediateFocus);
    }
    delegate_.standardUserDriverWillHandleShowingUpdate(handleShowing, update, state);
    if (!handleShowing) {
        return;
    }
    presenter_.show(UpdateNotice::available(update));
    delegate_.standardUserDriverDidReceiveUserAttentionForUpdate(update);
}

void StandardUserDriver::showUpdateNotFound() {
    presenter_.show(UpdateNotice::upToDate());
}

void StandardUserDriver::showUpdaterError(const std::string& errorDescription) {
    presenter_.show(UpdateNotice::failed(errorDescription));
}

} // namespace velmora
