#pragma once
// Turns the outcome of a check into what the user sees. A found update goes through the delegate's
// decisions first; a scheduled check that finds nothing or fails shows nothing. Showing an update's
// notice counts as the user's attention to it. Main thread only.

#include "VelmoraCore/Updates/UpdatePresenter.h"
#include "VelmoraCore/Updates/UpdateUserDriverDelegate.h"

#include <string>

namespace velmora {

class StandardUserDriver {
public:
    /// Both must outlive the driver.
    StandardUserDriver(UpdateUserDriverDelegate& delegate, UpdatePresenter& presenter);

    void showUpdateFound(const desktop::UpdateItem& update, const UserUpdateState& state,
                         bool immediateFocus);
    /// After a check the user asked for.
    void showUpdateNotFound();
    void showUpdaterError(const std::string& errorDescription);

private:
    UpdateUserDriverDelegate& delegate_;
    UpdatePresenter& presenter_;
};

} // namespace velmora
