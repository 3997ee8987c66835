#include "Velmora/Settings/SettingsView.h"

#include "Velmora/Panel/Widgets/PanelStyle.h"
#include "Velmora/Updates/CheckForUpdatesView.h"
#include "Velmora/Windows/ElidedLabel.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora::app {

namespace {

constexpr const char* modelNote = "切り替えると次回の文字起こし時に読み込み直します。量子化版はメモリを大きく節約できます"
                                  "が、精度はわずかに落ちます。";
constexpr const char* thresholdNote = "（低いほど小さな声も拾うが、環境音も拾いやすくなる）";

QLabel* captionLabel(const QString& text, QWidget* parent) {
    QLabel* label = style::wrappingLabel(text, style::caption(parent->font()), parent);
    style::setSecondary(label);
    return label;
}

} // namespace

float SettingsView::thresholdAt(int position) {
    const int step = std::clamp(position, 0, thresholdSteps);
    if (step == thresholdSteps) {
        return highestThreshold;
    }
    return static_cast<float>(lowestThreshold +
                              (double(highestThreshold) - lowestThreshold) * step / thresholdSteps);
}

int SettingsView::positionOf(float threshold) {
    if (!std::isfinite(threshold)) {
        return threshold > 0 ? thresholdSteps : 0;
    }
    const double fraction = (double(threshold) - lowestThreshold) / (double(highestThreshold) - lowestThreshold);
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * thresholdSteps));
}

std::string SettingsView::thresholdCaption(float threshold) {
    // Written digit by digit so the user's locale never turns the point into a comma.
    char number[64];
    const double value = threshold;
    const double rounded = std::round(std::fabs(value) * 1000);
    if (!std::isfinite(value)) {
        std::snprintf(number, sizeof number, "%s", std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf");
    } else {
        const long long thousandths = static_cast<long long>(std::min(rounded, 9.0e15));
        std::snprintf(number, sizeof number, "%s%lld.%03lld", std::signbit(value) && rounded > 0 ? "-" : "",
                      thousandths / 1000, thousandths % 1000);
    }
    return std::string("閾値: ") + number + thresholdNote;
}

SettingsView::SettingsView(AppSettings& settings, Updater& updater, AuthSession& authSession,
                           AppLifecycle& lifecycle, std::function<void()> quit, QWidget* parent)
    : QWidget(parent), settings_(settings), authSession_(authSession) {
    setFixedWidth(width);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);

    // 1. Where the recordings go.
    QGroupBox* folder = section("保存先");
    saveFolder_ = new ElidedLabel(QString::fromStdString(settings.saveDirectory().string()), Qt::ElideMiddle, folder);
    saveFolder_->setFont(style::caption(font()));
    style::setSecondary(saveFolder_);
    folder->layout()->addWidget(saveFolder_);

    // 2. The speech model.
    QGroupBox* model = section("文字起こしモデル");
    auto* pickerRow = new QWidget(model);
    auto* picker = new QFormLayout(pickerRow);
    picker->setContentsMargins(0, 0, 0, 0);
    auto* choices = new QWidget(pickerRow);
    auto* choiceLayout = new QVBoxLayout(choices);
    choiceLayout->setContentsMargins(0, 0, 0, 0);
    models_ = new QButtonGroup(this);
    for (std::size_t i = 0; i < modelChoices.size(); ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(modelChoices[i].label), choices);
        models_->addButton(button, static_cast<int>(i));
        choiceLayout->addWidget(button);
    }
    picker->addRow(QStringLiteral("モデル"), choices);
    model->layout()->addWidget(pickerRow);
    model->layout()->addWidget(captionLabel(QString::fromUtf8(modelNote), model));
    // Toggled rather than clicked: an assistive technology's toggle action checks the button without
    // a click, and must choose the model just the same.
    connect(models_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !showing_) {
            settings_.setModelName(modelChoices[static_cast<std::size_t>(id)].modelName);
        }
    });

    // 3. How loud a voice must be.
    QGroupBox* threshold = section("VAD感度");
    slider_ = new QSlider(Qt::Horizontal, threshold);
    slider_->setRange(0, thresholdSteps);
    slider_->setSingleStep(10);
    slider_->setPageStep(500);
    thresholdText_ = captionLabel(QString(), threshold);
    threshold->layout()->addWidget(slider_);
    threshold->layout()->addWidget(thresholdText_);
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        if (!showing_) {
            settings_.setVadThreshold(thresholdAt(position));
        }
    });

    // 4. Updates.
    QGroupBox* updates = section("アップデート");
    updateCheck_ = new CheckForUpdatesView(std::make_unique<CheckForUpdatesViewModel>(updater), updater, updates);
    updates->layout()->addWidget(updateCheck_);

    // 5. The account, only while signed in to a service that exists.
    account_ = section("アカウント");
    signOut_ = new QPushButton(QStringLiteral("ログアウト"), account_);
    account_->layout()->addWidget(signOut_);
    connect(signOut_, &QPushButton::clicked, this, [this] { authSession_.signOut(); });

    // 6. The application.
    QGroupBox* application = section("アプリ");
    restart_ = new QPushButton(QStringLiteral("再起動"), application);
    quit_ = new QPushButton(QStringLiteral("終了"), application);
    application->layout()->addWidget(restart_);
    application->layout()->addWidget(quit_);
    connect(restart_, &QPushButton::clicked, this, [&lifecycle] { lifecycle.restart(); });
    connect(quit_, &QPushButton::clicked, this, [quit = std::move(quit)] { quit(); });

    for (QPushButton* button : {signOut_, restart_, quit_}) {
        button->parentWidget()->layout()->setAlignment(button, Qt::AlignLeft);
    }
    updates->layout()->setAlignment(updateCheck_, Qt::AlignLeft);

    showModelName(settings.modelName().value());
    showThreshold(settings.vadThreshold().value());
    showSignedIn(authSession.isSignedIn().value());
    modelSubscription_ = settings.modelName().subscribe([this](const std::string& name) { showModelName(name); });
    thresholdSubscription_ = settings.vadThreshold().subscribe([this](const float& value) { showThreshold(value); });
    signedInSubscription_ = authSession.isSignedIn().subscribe([this](const bool& in) { showSignedIn(in); });
}

SettingsView::~SettingsView() {
    settings_.modelName().unsubscribe(modelSubscription_);
    settings_.vadThreshold().unsubscribe(thresholdSubscription_);
    authSession_.isSignedIn().unsubscribe(signedInSubscription_);
}

QGroupBox* SettingsView::section(const char* title) {
    auto* box = new QGroupBox(QString::fromUtf8(title), this);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(6);
    static_cast<QVBoxLayout*>(this->layout())->addWidget(box);
    return box;
}

QList<QGroupBox*> SettingsView::visibleSections() const {
    QList<QGroupBox*> sections;
    for (QGroupBox* box : findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!box->isHidden()) {
            sections.append(box);
        }
    }
    return sections;
}

QRadioButton* SettingsView::modelButton(std::size_t index) const {
    return static_cast<QRadioButton*>(models_->button(static_cast<int>(index)));
}

void SettingsView::showModelName(const std::string& name) {
    showing_ = true;
    // A name that is neither choice leaves both unchosen; an exclusive group would keep one.
    models_->setExclusive(false);
    for (std::size_t i = 0; i < modelChoices.size(); ++i) {
        modelButton(i)->setChecked(name == modelChoices[i].modelName);
    }
    models_->setExclusive(true);
    showing_ = false;
}

void SettingsView::showThreshold(float threshold) {
    showing_ = true;
    slider_->setValue(positionOf(threshold));
    showing_ = false;
    thresholdText_->setText(QString::fromStdString(thresholdCaption(threshold)));
}

void SettingsView::showSignedIn(bool signedIn) {
    account_->setVisible(signedIn && authSession_.signInExists());
}

} // namespace velmora::app
