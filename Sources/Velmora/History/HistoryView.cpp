#include "Velmora/History/HistoryView.h"

#include "Velmora/History/HistoryRow.h"
#include "Velmora/Panel/PanelTexts.h"
#include "Velmora/Panel/Widgets/PanelStyle.h"
#include "VelmoraCore/History/HistoryListing.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora::app {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QHBoxLayout* rowLayout(QWidget* row) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

/// Both pages: a column with spacing 8 whose first child is a header row.
struct Page {
    QWidget* widget;
    QVBoxLayout* layout;
    QWidget* header;
    QHBoxLayout* headerRow;
};

Page makePage(QWidget* parent) {
    Page page{};
    page.widget = new QWidget(parent);
    page.layout = new QVBoxLayout(page.widget);
    page.layout->setContentsMargins(0, 0, 0, 0);
    page.layout->setSpacing(8);
    page.header = new QWidget(page.widget);
    page.headerRow = rowLayout(page.header);
    page.layout->addWidget(page.header);
    return page;
}

} // namespace

HistoryView::HistoryView(const AppSettings& settings, PanelShell& shell, QWidget* parent)
    : QWidget(parent), settings_(settings), shell_(shell) {
    pages_ = new QStackedLayout(this);
    pages_->setContentsMargins(0, 0, 0, 0);
    listPage_ = makeListPage();
    detailPage_ = makeDetailPage();
    pages_->addWidget(listPage_);
    pages_->addWidget(detailPage_);
    pages_->setCurrentWidget(listPage_);
}

QWidget* HistoryView::makeListPage() {
    const auto [page, layout, header, row] = makePage(this);
    auto* title = new QLabel(QString::fromUtf8(texts::pastTranscripts), header);
    title->setFont(style::subheadline(font()));
    row->addWidget(title);
    row->addStretch();
    refresh_ = new QToolButton(header);
    refresh_->setIcon(style::icon("view-refresh", QStyle::SP_BrowserReload));
    refresh_->setAutoRaise(true);
    row->addWidget(refresh_);
    connect(refresh_, &QToolButton::clicked, this, [this] { loadSessions(); });

    empty_ = new QLabel(QString::fromUtf8(HistoryListing::noRecordingsText), page);
    empty_->setFont(style::caption(font()));
    style::setSecondary(empty_);
    empty_->setAlignment(Qt::AlignCenter);
    layout->addWidget(empty_, 1);

    scroll_ = new QScrollArea(page);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rowList_ = new QWidget(scroll_);
    rowLayout_ = new QVBoxLayout(rowList_);
    rowLayout_->setContentsMargins(0, 0, 0, 0);
    rowLayout_->setSpacing(0);
    rowLayout_->addStretch();
    scroll_->setWidget(rowList_);
    layout->addWidget(scroll_, 1);
    scroll_->hide();
    return page;
}

QWidget* HistoryView::makeDetailPage() {
    const auto [page, layout, header, row] = makePage(this);
    back_ = new QPushButton(style::icon("go-previous", QStyle::SP_ArrowBack), QString::fromUtf8(texts::back), header);
    back_->setFlat(true);
    row->addWidget(back_);
    row->addStretch();
    detailDate_ = new QLabel(header);
    detailDate_->setFont(style::caption(font()));
    style::setSecondary(detailDate_);
    row->addWidget(detailDate_);
    connect(back_, &QPushButton::clicked, this, [this] { showList(); });

    detailText_ = new QPlainTextEdit(page);
    detailText_->setReadOnly(true);
    detailText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    detailText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    detailText_->setFrameShape(QFrame::NoFrame);
    layout->addWidget(detailText_, 1);

    auto* buttons = new QWidget(page);
    auto* buttonRow = rowLayout(buttons);
    copy_ = new QPushButton(QString::fromUtf8(texts::copyAll), buttons);
    open_ = new QPushButton(QString::fromUtf8(texts::openInFileManager), buttons);
    buttonRow->addWidget(copy_);
    buttonRow->addWidget(open_);
    buttonRow->addStretch();
    layout->addWidget(buttons);
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (selected_) {
            shell_.copyText(selected_->transcriptText.value_or(""));
        }
    });
    connect(open_, &QPushButton::clicked, this, [this] {
        if (selected_) {
            shell_.openFolder(selected_->folder);
        }
    });
    return page;
}

void HistoryView::loadSessions() {
    sessions_ = HistoryListing::loadSessions(settings_.saveDirectory());
    for (HistoryRow* row : rows()) {
        delete row;
    }
    int index = 0;
    for (const HistorySession& session : sessions_) {
        auto* row = new HistoryRow(qt(HistoryListing::dateText(session.date)),
                                   qt(HistoryListing::previewText(session)), rowList_);
        // Before the stretch that keeps the rows at the top.
        rowLayout_->insertWidget(index++, row);
        connect(row, &HistoryRow::clicked, this, [this, session] { select(session); });
    }
    empty_->setVisible(sessions_.empty());
    scroll_->setVisible(!sessions_.empty());
}

std::vector<HistoryRow*> HistoryView::rows() const {
    std::vector<HistoryRow*> rows;
    for (int i = 0; i < rowLayout_->count(); ++i) {
        if (auto* row = dynamic_cast<HistoryRow*>(rowLayout_->itemAt(i)->widget())) {
            rows.push_back(row);
        }
    }
    return rows;
}

void HistoryView::select(const HistorySession& session) {
    selected_ = HistoryListing::select(session);
    detailDate_->setText(qt(HistoryListing::dateText(selected_->date)));
    detailText_->setPlainText(qt(HistoryListing::detailText(*selected_)));
    copy_->setEnabled(HistoryListing::canCopy(*selected_));
    pages_->setCurrentWidget(detailPage_);
}

void HistoryView::showList() {
    selected_.reset();
    pages_->setCurrentWidget(listPage_);
    loadSessions();
}

void HistoryView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The list is read each time it comes on screen; a shown transcript stays as it was read.
    if (!selected_) {
        loadSessions();
    }
}

} // namespace velmora::app
