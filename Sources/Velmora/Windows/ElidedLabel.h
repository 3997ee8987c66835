#pragma once
// One line of plain text that never widens its window: what does not fit is elided where asked (the
// middle of a path, the end of a preview). Assistive technologies read the whole text.

#include <QWidget>

namespace velmora::app {

class ElidedLabel final : public QWidget {
public:
    ElidedLabel(QString text, Qt::TextElideMode mode, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(QString text);
    /// The text as drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    Qt::TextElideMode mode_;
};

} // namespace velmora::app
