#pragma once
// The application's icon: two overlapping circular outlines, a filled disc where they meet and two small
// dots in the upper half of the left outline, drawn in a 45 × 36 box and shown 18 pixels high.

#include <QPainterPath>
#include <QSizeF>

namespace velmora::app {

class MenuBarIcon {
public:
    /// The box the glyph is drawn in.
    static constexpr QSizeF sourceSize{45, 36};
    /// Its height on the panel; the width keeps the box's aspect (22.5 pixels).
    static constexpr double height = 18;

    /// The glyph's filled area in the 45 × 36 box, built once.
    static const QPainterPath& glyph();
};

} // namespace velmora::app
