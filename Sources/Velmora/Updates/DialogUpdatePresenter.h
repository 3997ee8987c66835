#pragma once
// Shows the updater's notices as UpdateDialog windows, brought to the front; a new notice replaces a
// dialog still open. Main thread only.

#include "Platform/Desktop/UrlHandling/BrowserOpener.h"
#include "Velmora/Updates/UpdateDialog.h"
#include "VelmoraCore/Updates/UpdatePresenter.h"

#include <QPointer>

namespace velmora::app {

class DialogUpdatePresenter final : public UpdatePresenter {
public:
    /// `browser` must outlive the presenter.
    explicit DialogUpdatePresenter(desktop::BrowserOpener& browser);
    /// Closes an open dialog.
    ~DialogUpdatePresenter() override;

    void show(const UpdateNotice& notice) override;

    /// The dialog on screen, if any.
    UpdateDialog* dialog() const { return dialog_.data(); }

private:
    desktop::BrowserOpener& browser_;
    QPointer<UpdateDialog> dialog_;
};

} // namespace velmora::app
