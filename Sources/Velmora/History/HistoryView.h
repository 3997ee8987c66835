#pragma once
// The panel's history tab: the past recordings in the save folder, newest first, each with its date
// and the first line of its transcript; choosing one shows its whole transcript with copy and open
// actions, and "戻る" returns to the list. The list is read again whenever it comes on screen and when
// the refresh button is pressed; a shown transcript is the copy read when its row was chosen. Main
// thread only.

#include "Velmora/Panel/PanelShell.h"
#include "VelmoraCore/History/HistorySession.h"
#include "VelmoraCore/Settings/AppSettings.h"

#include <QWidget>
#include <optional>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QStackedLayout;
class QToolButton;
class QVBoxLayout;

namespace velmora::app {

class HistoryRow;

class HistoryView final : public QWidget {
public:
    /// `settings` gives the save folder; `shell` copies and opens folders. Both must outlive the view.
    HistoryView(const AppSettings& settings, PanelShell& shell, QWidget* parent = nullptr);

    /// Reads the save folder again and rebuilds the list.
    void loadSessions();
    /// Reads the recording's transcript and shows it.
    void select(const HistorySession& session);
    /// Back to the list, which is read again.
    void showList();

    const std::vector<HistorySession>& sessions() const { return sessions_; }
    const std::optional<HistorySession>& selected() const { return selected_; }

    // The parts the tests press and read.
    QToolButton* refreshButton() const { return refresh_; }
    std::vector<HistoryRow*> rows() const;
    QLabel* emptyText() const { return empty_; }
    QPushButton* backButton() const { return back_; }
    QLabel* detailDate() const { return detailDate_; }
    QPlainTextEdit* detailText() const { return detailText_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* openButton() const { return open_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeListPage();
    QWidget* makeDetailPage();

    const AppSettings& settings_;
    PanelShell& shell_;
    std::vector<HistorySession> sessions_;
    std::optional<HistorySession> selected_;

    QStackedLayout* pages_;
    QWidget* listPage_;
    QWidget* detailPage_;
    QToolButton* refresh_;
    QLabel* empty_;
    QWidget* rowList_;
    QVBoxLayout* rowLayout_;
    QScrollArea* scroll_;
    QPushButton* back_;
    QLabel* detailDate_;
    QPlainTextEdit* detailText_;
    QPushButton* copy_;
    QPushButton* open_;
};

} // namespace velmora::app
