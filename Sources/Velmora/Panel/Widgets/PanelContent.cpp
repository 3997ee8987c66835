#include "Velmora/Panel/Widgets/PanelContent.h"

#include "Velmora/History/HistoryView.h"
#include "Velmora/Panel/PanelTexts.h"
#include "Velmora/Panel/Widgets/ModelSetupView.h"
#include "Velmora/Panel/Widgets/PanelStyle.h"
#include "Velmora/Panel/Widgets/PermissionView.h"
#include "Velmora/Panel/Widgets/RecordingInterface.h"
#include "Velmora/Panel/Widgets/SignInView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora::app {

namespace {

QString qt(const char* text) {
    return QString::fromUtf8(text);
}

QHBoxLayout* rowLayout(QWidget* row) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

// Stretch slots of the panel's stack (after the header and the tabs): the pages, below everything.
constexpr int pageSlot = 2;
constexpr int historySlot = 3;
constexpr int bottomSlot = 4;

} // namespace

PanelContent::PanelContent(PanelModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(16, 16, 16, 16);
    layout_->setSpacing(12);

    auto* header = new QWidget(this);
    auto* headerLayout = rowLayout(header);
    auto* title = new QLabel(qt(texts::appName), header);
    title->setFont(style::headline(font()));
    headerLayout->addWidget(title);
    headerLayout->addStretch();
    auto* gear = new QToolButton(header);
    gear->setObjectName("settingsButton");
    gear->setIcon(style::settingsIcon());
    gear->setAutoRaise(true);
    headerLayout->addWidget(gear);
    layout_->addWidget(header);
    connect(gear, &QToolButton::clicked, this, [this] { model_.openSettings(); });

    tabs_ = new QTabBar(this);
    tabs_->addTab(qt(texts::recordTab));
    tabs_->addTab(qt(texts::historyTab));
    tabs_->setExpanding(true);
    tabs_->setDrawBase(false);
    layout_->addWidget(tabs_);
    connect(tabs_, &QTabBar::currentChanged, this,
            [this](int index) { model_.selectTab(index == 1 ? PanelModel::Tab::history : PanelModel::Tab::record); });

    recordPage_ = new QWidget(this);
    auto* record = new QVBoxLayout(recordPage_);
    record->setContentsMargins(0, 0, 0, 0);
    record->setSpacing(12);
    updateBanner_ = new QWidget(recordPage_);
    auto* bannerLayout = rowLayout(updateBanner_);
    auto* bannerIcon = new QLabel(updateBanner_);
    bannerIcon->setPixmap(style::updateIcon().pixmap(16, 16));
    bannerLayout->addWidget(bannerIcon);
    updateText_ = new QLabel(updateBanner_);
    updateText_->setFont(style::caption(font()));
    updateText_->setTextFormat(Qt::PlainText);
    style::setTextColor(updateText_, style::blue);
    bannerLayout->addWidget(updateText_);
    bannerLayout->addStretch();
    auto* install = new QPushButton(qt(texts::install), updateBanner_);
    install->setFont(style::caption(font()));
    bannerLayout->addWidget(install);
    record->addWidget(updateBanner_);
    connect(install, &QPushButton::clicked, this, [this] { model_.installUpdate(); });

    permissionView_ = new PermissionView(model_, recordPage_);
    signInView_ = new SignInView(model_, recordPage_);
    setupView_ = new ModelSetupView(model_, recordPage_);
    recordingInterface_ = new RecordingInterface(model_, recordPage_);
    record->addWidget(permissionView_);
    record->addWidget(signInView_);
    record->addWidget(setupView_);
    record->addWidget(recordingInterface_, 1);
    layout_->addWidget(recordPage_);

    historyPage_ = new QWidget(this);
    auto* history = new QVBoxLayout(historyPage_);
    history->setContentsMargins(0, 0, 0, 0);
    layout_->addWidget(historyPage_);
    layout_->addStretch();

    model_.onChange = [this](unsigned parts) { refresh(parts); };
    refresh(~0u);
}

PanelContent::~PanelContent() {
    model_.onChange = nullptr;
}

void PanelContent::refresh(unsigned parts) {
    if (parts & PanelModel::updatePart) {
        const std::string text = model_.updateBannerText();
        updateText_->setText(QString::fromStdString(text));
        updateBanner_->setVisible(!text.empty());
    }
    if (parts & PanelModel::permissionPart) {
        permissionView_->refresh();
    }
    if (parts & PanelModel::signInPart) {
        signInView_->refresh();
    }
    if (parts & PanelModel::setupPart) {
        setupView_->refresh();
    }
    recordingInterface_->refresh(parts);
    if (parts & (PanelModel::gatePart | PanelModel::tabPart)) {
        refreshLayout();
    }
}

void PanelContent::refreshLayout() {
    const bool history = model_.selectedTab() == PanelModel::Tab::history;
    tabs_->setCurrentIndex(history ? 1 : 0);
    recordPage_->setVisible(!history);
    historyPage_->setVisible(history);
    // The history lives only while its tab is shown: coming back starts again from a fresh list.
    if (history && !historyView_) {
        historyView_ = new HistoryView(model_.settings(), model_.shell(), historyPage_);
        historyPage_->layout()->addWidget(historyView_);
        historyView_->show();
    } else if (!history && historyView_) {
        delete historyView_;
        historyView_ = nullptr;
    }
    const PanelModel::Gate gate = model_.gate();
    permissionView_->setVisible(gate == PanelModel::Gate::permissions);
    signInView_->setVisible(gate == PanelModel::Gate::signIn);
    setupView_->setVisible(gate == PanelModel::Gate::modelSetup);
    recordingInterface_->setVisible(gate == PanelModel::Gate::recording);
    // Only the recording interface and the history ask for the panel's height; a gate sits under the
    // header, where the eye goes first, with the free space below it.
    const bool fills = history || gate == PanelModel::Gate::recording;
    layout_->setStretch(pageSlot, fills && !history ? 1 : 0);
    layout_->setStretch(historySlot, history ? 1 : 0);
    layout_->setStretch(bottomSlot, fills ? 0 : 1);
}

} // namespace velmora::app
