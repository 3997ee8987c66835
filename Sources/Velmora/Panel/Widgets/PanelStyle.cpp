#include "Velmora/Panel/Widgets/PanelStyle.h"

#include <QApplication>
#include <QLabel>
#include <QHBoxLayout>
#include <QPalette>
#include <QProgressBar>

namespace velmora::app::style {

namespace {

QFont scaled(const QFont& base, double factor) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    return font;
}

} // namespace

QFont caption(const QFont& base) {
    return scaled(base, 0.88);
}

QFont caption2(const QFont& base) {
    return scaled(base, 0.8);
}

QFont headline(const QFont& base) {
    QFont font = base;
    font.setBold(true);
    return font;
}

QFont callout(const QFont& base) {
    return scaled(base, 0.94);
}

QFont subheadline(const QFont& base) {
    QFont font = scaled(base, 0.9);
    font.setBold(true);
    return font;
}

QIcon icon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name), QApplication::style()->standardIcon(fallback));
}

QIcon warningIcon() {
    return icon("dialog-warning", QStyle::SP_MessageBoxWarning);
}

QIcon informationIcon() {
    return icon("dialog-information", QStyle::SP_MessageBoxInformation);
}

QIcon settingsIcon() {
    return icon("preferences-system", QStyle::SP_FileDialogDetailedView);
}

QIcon updateIcon() {
    return icon("software-update-available", QStyle::SP_ArrowDown);
}

void setTextColor(QWidget* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void setSecondary(QWidget* label) {
    QColor color = label->palette().color(QPalette::WindowText);
    color.setAlphaF(0.6f);
    setTextColor(label, color);
}

QLabel* wrappingLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    // The layout asks a wrapped text its height for the width it gets, not for a guessed width.
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
    return label;
}

QWidget* iconRow(const QIcon& icon, QLabel* text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* picture = new QLabel(row);
    picture->setPixmap(icon.pixmap(16, 16));
    picture->setAlignment(Qt::AlignTop);
    layout->addWidget(picture, 0, Qt::AlignTop);
    text->setParent(row);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(text, 1);
    return row;
}

QWidget* spinner(QWidget* parent) {
    auto* busy = new QProgressBar(parent);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedSize(48, 10);
    return busy;
}

} // namespace velmora::app::style
