#pragma once
// The two gates in front of the recording interface that the panel does not own: the sign-in and the
// first-run model set-up. A build without a sign-in service has no sign-in gate. CorePanelAccess puts
// the core's AuthSession and ModelSetupGate behind it. Main thread only.

#include "VelmoraCore/ModelSetup/ModelSetupPhase.h"
#include "VelmoraCore/Observable.h"

#include <exception>
#include <functional>

namespace velmora::app {

class PanelAccess {
public:
    virtual ~PanelAccess() = default;

    /// Whether there is a sign-in at all; fixed for the life of the application.
    virtual bool signInExists() const = 0;
    virtual const Observable<bool>& isSignedIn() const = 0;
    /// Returns at once; `completion` runs on the main thread with nothing on success, else the error.
    virtual void signIn(std::function<void(std::exception_ptr)> completion) = 0;

    virtual const Observable<ModelSetupPhase>& setupPhase() const = 0;
    virtual void startSetupIfNeeded() = 0;
    virtual void retrySetup() = 0;
};

} // namespace velmora::app
