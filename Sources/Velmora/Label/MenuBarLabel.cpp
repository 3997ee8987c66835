#include "Velmora/Label/MenuBarLabel.h"

#include "Velmora/Label/MenuBarIcon.h"

#include <QPainter>
#include <cmath>
#include <cstdio>
#include <limits>

namespace velmora::app {

const QColor MenuBarLabel::iconColor = QColor(255, 255, 255);
const QColor MenuBarLabel::outlineColor = QColor(32, 32, 32);
// The "secondary" style of a dimmed foreground, still readable on a light panel through the outline.
const QColor MenuBarLabel::pendingBadgeColor = QColor(160, 160, 160);
const QColor MenuBarLabel::updateBadgeColor = QColor(255, 59, 48);

namespace {

// The layout in the 28 × 28 square: the icon 22.5 × 18 with room for the badges that reach past its
// right edge; the pending badge 5 × 5 at the icon's bottom right moved by (2, 1), the update badge
// 6 × 6 at its top right moved by (4, −2).
const QPointF iconOrigin(1, 5);
const QRectF pendingBadge(1 + 22.5 - 5 + 2, 5 + 18 - 5 + 1, 5, 5);
const QRectF updateBadge(1 + 22.5 - 6 + 4, 5 - 2, 6, 6);

void drawBadge(QPainter& painter, const QRectF& rect, const QColor& color, double pixel) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(MenuBarLabel::outlineColor);
    painter.drawEllipse(rect.adjusted(-pixel, -pixel, pixel, pixel));
    painter.setBrush(color);
    painter.drawEllipse(rect);
}

} // namespace

QString formattedElapsed(double elapsedSeconds) {
    long long seconds = 0;
    if (std::isfinite(elapsedSeconds) && elapsedSeconds > 0) {
        constexpr long long largest = std::numeric_limits<long long>::max();
        seconds = elapsedSeconds >= 0x1p63 ? largest : static_cast<long long>(elapsedSeconds);
    }
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60, seconds % 60);
    return QString::fromLatin1(text);
}

QPixmap MenuBarLabel::render(const LabelState& state, int pixels) {
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = double(pixels) / side;
    painter.scale(scale, scale);
    const double pixel = 1 / scale; // one device pixel in layout units

    painter.save();
    painter.translate(iconOrigin);
    const double iconScale = MenuBarIcon::height / MenuBarIcon::sourceSize.height();
    painter.scale(iconScale, iconScale);
    // The outline is the glyph's edge stroked two pixels wide under the fill: one pixel shows outside.
    painter.strokePath(MenuBarIcon::glyph(), QPen(outlineColor, 2 * pixel / iconScale));
    painter.fillPath(MenuBarIcon::glyph(), iconColor);
    painter.restore();

    if (state.hasPendingTranscriptions) {
        drawBadge(painter, pendingBadge, pendingBadgeColor, pixel);
    }
    if (state.hasUpdate) {
        drawBadge(painter, updateBadge, updateBadgeColor, pixel);
    }
    return pixmap;
}

QIcon MenuBarLabel::icon(const LabelState& state) {
    QIcon icon;
    for (int pixels : {16, 22, 24, side, 32, 48, 64}) {
        icon.addPixmap(render(state, pixels));
    }
    return icon;
}

QString MenuBarLabel::toolTip(const LabelState& state) {
    return state.recording ? formattedElapsed(state.elapsedSeconds) : QStringLiteral("ベルモラ");
}

} // namespace velmora::app
