#pragma once
// Shows notifications on the user's desktop after asking whether it may.

#include "Platform/Desktop/Notifications/Notification.h"

#include <functional>

namespace desktop {

class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    /// Asks whether alerts with sound may be shown. Returns at once; `completion` runs exactly once, on
    /// any thread, with the answer (false also when the question could not be asked).
    virtual void requestAuthorization(std::function<void(bool granted)> completion) = 0;

    /// Shows `notification` now. Returns at once; failures are ignored.
    virtual void add(Notification notification) = 0;
};

} // namespace desktop
