#pragma once
// One past recording in the history list: a flat button showing its date and, below it, the first line
// of its transcript.

#include <QAbstractButton>

class QLabel;

namespace velmora::app {

class ElidedLabel;

class HistoryRow final : public QAbstractButton {
public:
    HistoryRow(const QString& date, const QString& preview, QWidget* parent = nullptr);

    QString date() const;
    const QString& preview() const;
    ElidedLabel& previewLabel() const { return *preview_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QLabel* date_;
    ElidedLabel* preview_;
};

} // namespace velmora::app
