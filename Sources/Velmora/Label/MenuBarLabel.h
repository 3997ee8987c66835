#pragma once
// The tray's label: the icon with its two badges drawn on one square picture (tray icons are square),
// and the elapsed time of a running recording as the icon's tooltip (a tray icon cannot carry text
// beside it). The icon is white with a one-pixel dark outline, so it reads on dark and light panels.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace velmora::app {

struct LabelState {
    bool recording = false;
    double elapsedSeconds = 0;
    /// The pending-work badge (bottom right of the icon).
    bool hasPendingTranscriptions = false;
    /// The red update badge (top right).
    bool hasUpdate = false;

    bool operator==(const LabelState&) const = default;
};

/// Whole seconds as "%02d:%02d": minutes are not capped and never roll into hours (6000 s is "100:00").
/// The fraction is dropped; a negative or unreadable time shows as 00:00.
QString formattedElapsed(double elapsedSeconds);

class MenuBarLabel {
public:
    /// The square the label is laid out in, in pixels at scale 1.
    static constexpr int side = 28;
    static const QColor iconColor;
    static const QColor outlineColor;
    static const QColor pendingBadgeColor;
    static const QColor updateBadgeColor;

    /// The label at `pixels` × `pixels` (the layout scaled from `side`).
    static QPixmap render(const LabelState& state, int pixels = side);
    /// The label at the sizes tray hosts ask for.
    static QIcon icon(const LabelState& state);
    /// The elapsed time while recording, else the application's name.
    static QString toolTip(const LabelState& state);
};

} // namespace velmora::app
