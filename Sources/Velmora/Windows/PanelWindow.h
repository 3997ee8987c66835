#pragma once
// The menu-bar panel's window: 420 × 560, frameless beside the tray icon and hidden again when it loses
// focus, or, with no tray, a normal window. Its content is set by the application. Each time it comes
// on screen it runs the appear action. Main thread only.

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>
#include <functional>

namespace velmora::app {

class PanelWindow final : public QWidget {
public:
    static constexpr int width = 420;
    static constexpr int height = 560;

    explicit PanelWindow(bool besideTray);

    bool isBesideTray() const { return besideTray_; }
    /// Replaces the content (the window takes it).
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    /// Runs each time the window comes on screen, and when present() brings a shown one forward.
    std::function<void()> onAppear;

    /// Shows the panel raised and active, beside `anchor` (the tray icon's place on screen; empty: the
    /// top right corner of the screen) when it is frameless. On a panel already shown it runs the appear
    /// action again.
    void present(const QRect& anchor = {});
    /// Hides a shown panel, else presents it.
    void toggle(const QRect& anchor = {});

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void placeBeside(const QRect& anchor);

    bool besideTray_;
    QWidget* content_ = nullptr;
    // When the panel lost the focus: a click on the tray icon that took it must not open it again.
    QElapsedTimer hiddenByFocusLoss_;
};

} // namespace velmora::app
