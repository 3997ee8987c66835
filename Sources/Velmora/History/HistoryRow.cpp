#include "Velmora/History/HistoryRow.h"

#include "Velmora/Panel/Widgets/PanelStyle.h"
#include "Velmora/Windows/ElidedLabel.h"

#include <QLabel>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>

namespace velmora::app {

HistoryRow::HistoryRow(const QString& date, const QString& preview, QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    date_ = new QLabel(date, this);
    date_->setTextFormat(Qt::PlainText);
    date_->setFont(style::callout(font()));
    preview_ = new ElidedLabel(preview, Qt::ElideRight, this);
    preview_->setFont(style::caption2(font()));
    style::setSecondary(preview_);
    // The row takes the clicks, not its texts.
    date_->setAttribute(Qt::WA_TransparentForMouseEvents);
    preview_->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(date_);
    layout->addWidget(preview_);
    // The row draws its texts through its children; a screen reader hears the button itself.
    setAccessibleName(date);
    setAccessibleDescription(preview);
}

QString HistoryRow::date() const {
    return date_->text();
}

const QString& HistoryRow::preview() const {
    return preview_->text();
}

QSize HistoryRow::sizeHint() const {
    return layout()->sizeHint();
}

void HistoryRow::paintEvent(QPaintEvent*) {
    if (!underMouse() && !isDown() && !hasFocus()) {
        return;
    }
    QPainter painter(this);
    QStyleOptionViewItem option;
    option.initFrom(this);
    option.state |= QStyle::State_MouseOver;
    if (isDown()) {
        option.state |= QStyle::State_Selected;
    }
    style()->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, &painter, this);
}

void HistoryRow::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    update();
}

void HistoryRow::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    update();
}

} // namespace velmora::app
