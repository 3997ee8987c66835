#include "Velmora/Updates/UpdateDialog.h"

#include "Platform/Desktop/Updates/UpdateUrlPolicy.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::app {

UpdateDialog::UpdateDialog(UpdateNotice notice, desktop::BrowserOpener& browser, QWidget* parent)
    : QDialog(parent), notice_(std::move(notice)), browser_(browser), message_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("ベルモラ"));
    setMinimumWidth(360); // the usual sentence on one line
    message_->setText(QString::fromStdString(notice_.message));
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText); // texts from the feed or an error are never markup

    auto* buttons = new QDialogButtonBox(this);
    const std::vector<std::string> titles = notice_.buttons();
    auto* act = buttons->addButton(QString::fromStdString(titles[0]), QDialogButtonBox::AcceptRole);
    act->setDefault(true);
    if (titles.size() > 1) {
        buttons->addButton(QString::fromStdString(titles[1]), QDialogButtonBox::RejectRole);
    }
    if (notice_.kind == UpdateNotice::Kind::updateAvailable) {
        connect(act, &QPushButton::clicked, this, [this] { install(); });
    } else {
        connect(act, &QPushButton::clicked, this, &QDialog::accept);
    }
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(buttons);
}

void UpdateDialog::install() {
    const std::string& url = notice_.update->url();
    // The feed reader refuses such addresses already; a notice built elsewhere gets the same rule.
    if (desktop::isAllowedUpdateUrl(url) && browser_.open(url)) {
        accept();
        return;
    }
    // Nothing was opened: say so and leave the address where the user can copy it.
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setText(QString::fromStdString(notice_.message + "\nブラウザで開けませんでした: " + url));
}

} // namespace velmora::app
