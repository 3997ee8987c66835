#pragma once
// Keeps the tray icon's picture and tooltip in step with the recording session and the update store:
// rebuilt whenever either publishes, the picture replaced only when a badge changes (the elapsed time
// ticks ten times a second). Main thread only.

#include "Velmora/Label/MenuBarLabel.h"
#include "Velmora/Recording/RecordingControl.h"
#include "VelmoraCore/Updates/UpdateAvailabilityStore.h"

#include <memory>

class QSystemTrayIcon;

namespace velmora::app {

class TrayLabel {
public:
    /// `session` may be empty (nothing records yet). The icon, session and store must outlive the label.
    TrayLabel(QSystemTrayIcon& trayIcon, std::shared_ptr<const RecordingControl> session,
              const UpdateAvailabilityStore& updates);
    ~TrayLabel();
    TrayLabel(const TrayLabel&) = delete;
    TrayLabel& operator=(const TrayLabel&) = delete;

    /// What the icon shows now.
    const LabelState& state() const { return shown_; }

private:
    void refresh();

    QSystemTrayIcon& trayIcon_;
    std::shared_ptr<const RecordingControl> session_;
    const UpdateAvailabilityStore& updates_;
    std::unique_ptr<RecordingControl::Observation> sessionObservation_;
    Observable<std::optional<desktop::UpdateItem>>::SubscriptionId updateSubscription_;
    LabelState shown_;
    bool pictureSet_ = false;
};

} // namespace velmora::app
