#include "Velmora/Windows/PlaceholderPanelContent.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::app {

PlaceholderPanelContent::PlaceholderPanelContent(std::function<void()> openSettings, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    auto* title = new QLabel(QStringLiteral("ベルモラ"), this);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    title->setFont(font);
    layout->addWidget(title);
    layout->addStretch();
    auto* settings = new QPushButton(QStringLiteral("設定…"), this);
    connect(settings, &QPushButton::clicked, this, [openSettings = std::move(openSettings)] { openSettings(); });
    layout->addWidget(settings, 0, Qt::AlignRight);
}

} // namespace velmora::app
