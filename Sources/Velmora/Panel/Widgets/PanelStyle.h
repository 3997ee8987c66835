#pragma once
// The panel's look in one place: the fixed colours of its warnings and meter, its smaller and bold
// text styles, and its icons by freedesktop name with the style's own icons where the theme has none.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QStyle>

class QLabel;
class QWidget;

namespace velmora::app::style {

inline const QColor orange{214, 112, 0};
inline const QColor red{209, 31, 38};
inline const QColor blue{0, 102, 214};
inline const QColor green{40, 170, 70};

/// The smaller text of notes and warnings, and the smallest of hints.
QFont caption(const QFont& base);
QFont caption2(const QFont& base);
QFont headline(const QFont& base);
/// Between the body and the caption, for the dates of the history.
QFont callout(const QFont& base);
/// The smaller bold title of a tab's content.
QFont subheadline(const QFont& base);

/// The theme's icon `name`, else the style's `fallback`.
QIcon icon(const char* name, QStyle::StandardPixmap fallback);
QIcon warningIcon();
QIcon informationIcon();
QIcon settingsIcon();
QIcon updateIcon();

void setTextColor(QWidget* label, const QColor& color);
/// The dimmed colour of secondary text.
void setSecondary(QWidget* label);

/// A label that wraps to as many lines as its text needs within the panel's width.
QLabel* wrappingLabel(const QString& text, const QFont& font, QWidget* parent);
/// A 16-pixel icon in front of `text`, in one row.
QWidget* iconRow(const QIcon& icon, QLabel* text, QWidget* parent);
/// An indeterminate progress indicator in the small size.
QWidget* spinner(QWidget* parent);

} // namespace velmora::app::style
