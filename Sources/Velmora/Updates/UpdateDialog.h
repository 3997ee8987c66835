#pragma once
// The updater's window: an available update with "インストール…" (opens its download page in the
// browser) and "後で", or the outcome of a check the user asked for with "OK".

#include "Platform/Desktop/UrlHandling/BrowserOpener.h"
#include "VelmoraCore/Updates/UpdateNotice.h"

#include <QDialog>

class QLabel;

namespace velmora::app {

class UpdateDialog final : public QDialog {
public:
    /// `browser` must outlive the dialog.
    UpdateDialog(UpdateNotice notice, desktop::BrowserOpener& browser, QWidget* parent = nullptr);

    const UpdateNotice& notice() const { return notice_; }

private:
    void install();

    UpdateNotice notice_;
    desktop::BrowserOpener& browser_;
    QLabel* message_;
};

} // namespace velmora::app
