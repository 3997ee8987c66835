#include "Velmora/Updates/DialogUpdatePresenter.h"

namespace velmora::app {

DialogUpdatePresenter::DialogUpdatePresenter(desktop::BrowserOpener& browser) : browser_(browser) {}

DialogUpdatePresenter::~DialogUpdatePresenter() {
    delete dialog_.data();
}

void DialogUpdatePresenter::show(const UpdateNotice& notice) {
    if (dialog_) {
        dialog_->close(); // deletes itself
    }
    dialog_ = new UpdateDialog(notice, browser_);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

} // namespace velmora::app
