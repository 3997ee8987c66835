#include "Velmora/Label/TrayLabel.h"

#include <QSystemTrayIcon>

namespace velmora::app {

TrayLabel::TrayLabel(QSystemTrayIcon& trayIcon, std::shared_ptr<const RecordingControl> session,
                     const UpdateAvailabilityStore& updates)
    : trayIcon_(trayIcon), session_(std::move(session)), updates_(updates) {
    if (session_) {
        sessionObservation_ = session_->observe([this] { refresh(); });
    }
    updateSubscription_ = updates_.pendingUpdate().subscribe([this](const auto&) { refresh(); });
    refresh();
}

TrayLabel::~TrayLabel() {
    updates_.pendingUpdate().unsubscribe(updateSubscription_);
}

void TrayLabel::refresh() {
    LabelState next;
    if (session_) {
        next.recording = session_->phase() == RecordingControl::Phase::recording;
        next.elapsedSeconds = session_->elapsedSeconds();
        next.hasPendingTranscriptions = session_->pendingTranscriptions() >= 1;
    }
    next.hasUpdate = updates_.pendingUpdate().value().has_value();

    if (!pictureSet_ || next.hasPendingTranscriptions != shown_.hasPendingTranscriptions ||
        next.hasUpdate != shown_.hasUpdate) {
        trayIcon_.setIcon(MenuBarLabel::icon(next));
        pictureSet_ = true;
    }
    const QString toolTip = MenuBarLabel::toolTip(next);
    if (toolTip != trayIcon_.toolTip()) {
        trayIcon_.setToolTip(toolTip);
    }
    shown_ = next;
}

} // namespace velmora::app
