#include "Velmora/Panel/Widgets/PermissionView.h"

#include "Velmora/Panel/PanelTexts.h"
#include "Velmora/Panel/Widgets/PanelStyle.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::app {

namespace {

QWidget* warning(const char* text, QWidget* parent) {
    auto* label = style::wrappingLabel(QString::fromUtf8(text), parent->font(), parent);
    style::setTextColor(label, style::orange);
    return style::iconRow(style::warningIcon(), label, parent);
}

} // namespace

PermissionView::PermissionView(PanelModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    micWarning_ = warning(texts::micNotGranted, this);
    micButton_ = new QPushButton(QString::fromUtf8(texts::grantMic), this);
    screenWarning_ = warning(texts::screenNotGranted, this);
    screenButton_ = new QPushButton(QString::fromUtf8(texts::grantScreen), this);
    auto* recheck = new QPushButton(QString::fromUtf8(texts::recheck), this);
    for (QWidget* child : {micWarning_, static_cast<QWidget*>(micButton_), screenWarning_,
                           static_cast<QWidget*>(screenButton_), static_cast<QWidget*>(recheck)}) {
        layout->addWidget(child, 0, Qt::AlignLeft);
    }
    micWarning_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    screenWarning_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    layout->setAlignment(micWarning_, Qt::Alignment());
    layout->setAlignment(screenWarning_, Qt::Alignment());
    connect(micButton_, &QPushButton::clicked, this, [this] { model_.grantMicrophone(); });
    connect(screenButton_, &QPushButton::clicked, this, [this] { model_.grantSystemAudio(); });
    connect(recheck, &QPushButton::clicked, this, [this] { model_.recheckPermissions(); });
    refresh();
}

void PermissionView::refresh() {
    const bool micMissing = model_.micPermission() != PermissionStatus::granted;
    const bool screenMissing = model_.screenPermission() != PermissionStatus::granted;
    micWarning_->setVisible(micMissing);
    micButton_->setVisible(micMissing);
    screenWarning_->setVisible(screenMissing);
    screenButton_->setVisible(screenMissing);
}

} // namespace velmora::app
