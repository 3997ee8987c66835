#include "Velmora/Panel/Widgets/ModelSetupView.h"

#include "Velmora/Panel/PanelTexts.h"
#include "Velmora/Panel/Widgets/PanelStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace velmora::app {

ModelSetupView::ModelSetupView(PanelModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    spinner_ = style::spinner(this);
    layout->addWidget(spinner_);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, barSteps);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(10);
    layout->addWidget(bar_);

    caption_ = style::wrappingLabel({}, style::caption(font()), this);
    auto* captionRow = new QWidget(this);
    auto* row = new QHBoxLayout(captionRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    failureIcon_ = new QLabel(captionRow);
    failureIcon_->setPixmap(style::warningIcon().pixmap(16, 16));
    row->addWidget(failureIcon_, 0, Qt::AlignTop);
    caption_->setParent(captionRow);
    row->addWidget(caption_, 1);
    layout->addWidget(captionRow);

    detail_ = style::wrappingLabel({}, style::caption2(font()), this);
    style::setSecondary(detail_);
    layout->addWidget(detail_);
    retry_ = new QPushButton(QString::fromUtf8(texts::retry), this);
    layout->addWidget(retry_, 0, Qt::AlignLeft);
    connect(retry_, &QPushButton::clicked, this, [this] { model_.retrySetup(); });
    refresh();
}

void ModelSetupView::refresh() {
    using Indicator = PanelModel::SetupRows::Indicator;
    const auto rows = PanelModel::setupRows(model_.access().setupPhase().value());
    spinner_->setVisible(rows.indicator == Indicator::spinner);
    bar_->setVisible(rows.indicator == Indicator::bar);
    bar_->setValue(static_cast<int>(std::lround(rows.barValue * barSteps)));
    const bool failed = rows.indicator == Indicator::failure;
    failureIcon_->setVisible(failed);
    style::setTextColor(caption_, failed ? style::red : palette().color(QPalette::WindowText));
    caption_->setText(QString::fromStdString(rows.caption));
    detail_->setText(QString::fromStdString(rows.detail));
    detail_->setVisible(!rows.detail.empty());
    retry_->setVisible(rows.retryButton);
}

} // namespace velmora::app
