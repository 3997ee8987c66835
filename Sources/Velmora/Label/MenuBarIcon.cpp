#include "Velmora/Label/MenuBarIcon.h"

#include <QPainterPathStroker>

namespace velmora::app {

namespace {

QPainterPath buildGlyph() {
    constexpr double radius = 13;
    constexpr double stroke = 4;
    QPainterPath circles;
    circles.addEllipse(QPointF(16, 18), radius, radius);
    circles.addEllipse(QPointF(29, 18), radius, radius);
    QPainterPathStroker stroker;
    stroker.setWidth(stroke);
    QPainterPath glyph = stroker.createStroke(circles);

    QPainterPath marks;
    marks.addEllipse(QPointF(22.5, 18), 4.5, 4.5); // where the two meet
    marks.addEllipse(QPointF(10, 13), 2, 2);
    marks.addEllipse(QPointF(15.5, 10.5), 2, 2);
    return glyph.united(marks).simplified();
}

} // namespace

const QPainterPath& MenuBarIcon::glyph() {
    static const QPainterPath path = buildGlyph();
    return path;
}

} // namespace velmora::app
