#include "Velmora/Panel/Widgets/SignInView.h"

#include "Velmora/Panel/PanelTexts.h"
#include "Velmora/Panel/Widgets/PanelStyle.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::app {

SignInView::SignInView(PanelModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(style::wrappingLabel(QString::fromUtf8(texts::signInNeeded), style::caption(font()), this));
    button_ = new QPushButton(this);
    layout->addWidget(button_, 0, Qt::AlignLeft);
    hint_ = style::wrappingLabel(QString::fromUtf8(texts::signInBrowserHint), style::caption2(font()), this);
    style::setSecondary(hint_);
    layout->addWidget(hint_);
    error_ = style::wrappingLabel({}, style::caption(font()), this);
    style::setTextColor(error_, style::red);
    layout->addWidget(error_);
    connect(button_, &QPushButton::clicked, this, [this] { model_.signIn(); });
    refresh();
}

void SignInView::refresh() {
    const bool signingIn = model_.isSigningIn();
    button_->setText(QString::fromUtf8(signingIn ? texts::signingIn : texts::signIn));
    button_->setEnabled(!signingIn);
    hint_->setVisible(signingIn);
    const auto& error = model_.signInError();
    error_->setText(QString::fromStdString(error.value_or("")));
    error_->setVisible(error.has_value());
}

} // namespace velmora::app
