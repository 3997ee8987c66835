#pragma once
// The core's sign-in session and model set-up gate as the panel's PanelAccess. Main thread only.

#include "Velmora/Panel/PanelAccess.h"
#include "VelmoraCore/Auth/AuthSession.h"
#include "VelmoraCore/ModelSetup/ModelSetupGate.h"

#include <memory>

namespace velmora::app {

class CorePanelAccess final : public PanelAccess {
public:
    /// The gate must outlive this object.
    CorePanelAccess(std::shared_ptr<AuthSession> auth, ModelSetupGate& gate)
        : auth_(std::move(auth)), gate_(gate) {}

    bool signInExists() const override { return auth_->signInExists(); }
    const Observable<bool>& isSignedIn() const override { return auth_->isSignedIn(); }
    void signIn(std::function<void(std::exception_ptr)> completion) override { auth_->signIn(std::move(completion)); }

    const Observable<ModelSetupPhase>& setupPhase() const override { return gate_.phase(); }
    void startSetupIfNeeded() override { gate_.startIfNeeded(); }
    void retrySetup() override { gate_.retry(); }

private:
    std::shared_ptr<AuthSession> auth_;
    ModelSetupGate& gate_;
};

} // namespace velmora::app
