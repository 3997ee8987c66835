#pragma once
// The panel's content until the record and history tabs exist: the application's name and the button
// that opens the settings window.

#include <QWidget>
#include <functional>

namespace velmora::app {

class PlaceholderPanelContent final : public QWidget {
public:
    explicit PlaceholderPanelContent(std::function<void()> openSettings, QWidget* parent = nullptr);
};

} // namespace velmora::app
