#include "Velmora/Panel/Widgets/RecordingInterface.h"

#include "Velmora/Panel/PanelTexts.h"
#include "Velmora/Panel/Widgets/LevelMeter.h"
#include "Velmora/Panel/Widgets/PanelStyle.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace velmora::app {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QString qt(const char* text) {
    return QString::fromUtf8(text);
}

QHBoxLayout* rowLayout(QWidget* row, int spacing) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QComboBox* picker(const char* title, QWidget* parent, QVBoxLayout* into) {
    auto* row = new QWidget(parent);
    auto* layout = rowLayout(row, 8);
    auto* label = new QLabel(qt(title), row);
    label->setFont(style::caption(parent->font()));
    label->setFixedWidth(40);
    layout->addWidget(label);
    auto* combo = new QComboBox(row);
    combo->setFont(style::caption(parent->font()));
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(10);
    layout->addWidget(combo, 1);
    into->addWidget(row);
    return combo;
}

/// Shows the item whose tag is `uid`, or none when no item has it; the bound value is left alone.
void selectTag(QComboBox* combo, const std::string& uid) {
    const int index = combo->findData(qt(uid));
    combo->setCurrentIndex(index);
}

} // namespace

RecordingInterface::RecordingInterface(PanelModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    const QFont caption = style::caption(font());
    const QFont caption2 = style::caption2(font());

    // Device pickers.
    auto* pickers = new QWidget(this);
    auto* pickerLayout = new QVBoxLayout(pickers);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(6);
    micPicker_ = picker(texts::micPicker, pickers, pickerLayout);
    outputPicker_ = picker(texts::outputPicker, pickers, pickerLayout);
    micInUse_ = style::wrappingLabel({}, caption2, pickers);
    style::setSecondary(micInUse_);
    pickerLayout->addWidget(micInUse_);
    auto* outputNote = style::wrappingLabel(qt(texts::outputNote), caption2, pickers);
    style::setSecondary(outputNote);
    pickerLayout->addWidget(outputNote);
    layout->addWidget(pickers);
    connect(micPicker_, &QComboBox::activated, this,
            [this](int index) { model_.selectMicrophone(micPicker_->itemData(index).toString().toStdString()); });
    connect(outputPicker_, &QComboBox::activated, this, [this](int index) {
        model_.selectOutput(outputPicker_->itemData(index).toString().toStdString());
        // A switch that did nothing leaves the picker on the output in use.
        selectTag(outputPicker_, model_.selectedOutputUID());
    });

    // Device warnings.
    auto warning = [&](const QIcon& icon, const QString& text, bool secondary, QLabel** textOut) {
        auto* label = style::wrappingLabel(text, caption, this);
        if (secondary) {
            style::setSecondary(label);
        } else {
            style::setTextColor(label, style::orange);
        }
        if (textOut != nullptr) {
            *textOut = label;
        }
        QWidget* row = style::iconRow(icon, label, this);
        layout->addWidget(row);
        return row;
    };
    speakerWarning_ = warning(style::warningIcon(), qt(texts::builtInSpeakerWarning), false, nullptr);
    bluetoothNote_ = warning(style::informationIcon(), qt(texts::bluetoothRedirectNote), true, nullptr);
    lowQualityWarning_ = warning(style::warningIcon(), {}, false, &lowQualityText_);

    // Recording controls.
    auto* controls = new QWidget(this);
    auto* controlsLayout = new QVBoxLayout(controls);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    controlsLayout->setSpacing(8);
    auto* buttonRow = new QWidget(controls);
    auto* buttonLayout = rowLayout(buttonRow, 16);
    recordButton_ = new QPushButton(buttonRow);
    recordButton_->setMinimumWidth(96);
    buttonLayout->addWidget(recordButton_);
    elapsed_ = new QLabel(buttonRow);
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF());
    elapsed_->setFont(digits);
    buttonLayout->addWidget(elapsed_);
    buttonLayout->addStretch();
    controlsLayout->addWidget(buttonRow);
    connect(recordButton_, &QPushButton::clicked, this, [this] { model_.toggleRecording(); });

    statusRow_ = new QWidget(controls);
    auto* statusLayout = rowLayout(statusRow_, 8);
    statusLayout->addWidget(style::spinner(statusRow_));
    statusText_ = new QLabel(statusRow_);
    statusText_->setFont(caption);
    statusText_->setTextFormat(Qt::PlainText);
    statusLayout->addWidget(statusText_, 1);
    auto* cancel = new QPushButton(qt(texts::cancel), statusRow_);
    cancel->setFont(caption);
    statusLayout->addWidget(cancel);
    controlsLayout->addWidget(statusRow_);
    connect(cancel, &QPushButton::clicked, this, [this] { model_.cancelTranscription(); });

    meterRow_ = new QWidget(controls);
    auto* meterLayout = rowLayout(meterRow_, 6);
    auto* meterLabel = new QLabel(qt(texts::meterLabel), meterRow_);
    meterLabel->setFont(caption);
    meterLabel->setFixedWidth(60);
    meterLayout->addWidget(meterLabel);
    meter_ = new LevelMeter(meterRow_);
    meterLayout->addWidget(meter_, 1);
    meter_->setAccessibleName(qt(texts::meterLabel));
    meterLabel->setBuddy(meter_);
    controlsLayout->addWidget(meterRow_);
    systemAudioNote_ = new QLabel(qt(texts::systemAudioNote), controls);
    systemAudioNote_->setFont(caption2);
    style::setSecondary(systemAudioNote_);
    controlsLayout->addWidget(systemAudioNote_);
    recordingFailure_ = style::wrappingLabel({}, caption, controls);
    style::setTextColor(recordingFailure_, style::red);
    controlsLayout->addWidget(recordingFailure_);
    transcriptionError_ = style::wrappingLabel({}, caption, controls);
    style::setTextColor(transcriptionError_, style::red);
    controlsLayout->addWidget(transcriptionError_);
    layout->addWidget(controls);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    // Transcript.
    transcript_ = new QPlainTextEdit(this);
    transcript_->setReadOnly(true);
    transcript_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    transcript_->setPlaceholderText(qt(texts::transcriptPlaceholder));
    transcript_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    transcript_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(transcript_, 1);
    auto* transcriptButtons = new QWidget(this);
    auto* transcriptLayout = rowLayout(transcriptButtons, 6);
    copyButton_ = new QPushButton(qt(texts::copyAll), transcriptButtons);
    transcriptLayout->addWidget(copyButton_);
    auto* openFolder = new QPushButton(qt(texts::openSaveFolder), transcriptButtons);
    transcriptLayout->addWidget(openFolder);
    transcriptLayout->addStretch();
    layout->addWidget(transcriptButtons);
    copyButton_->setEnabled(false);
    connect(copyButton_, &QPushButton::clicked, this, [this] { model_.copyTranscript(); });
    connect(openFolder, &QPushButton::clicked, this, [this] { model_.openSaveFolder(); });

    refresh(~0u);
}

void RecordingInterface::refresh(unsigned parts) {
    if (parts & PanelModel::devicePart) {
        refreshDevices();
    }
    if (parts & PanelModel::controlsPart) {
        refreshControls();
    }
    if (parts & (PanelModel::meterPart | PanelModel::controlsPart)) {
        refreshMeter();
    }
    if (parts & PanelModel::transcriptPart) {
        refreshTranscript();
    }
}

void RecordingInterface::refreshDevices() {
    if (model_.inputDevices() != shownInputs_) {
        shownInputs_ = model_.inputDevices();
        micPicker_->clear();
        micPicker_->addItem(qt(texts::automaticMic), QString());
        micPicker_->insertSeparator(1);
        for (const auto& device : shownInputs_) {
            micPicker_->addItem(qt(device.name), qt(device.id));
        }
    }
    selectTag(micPicker_, model_.micSelection());
    if (model_.outputDevices() != shownOutputs_) {
        shownOutputs_ = model_.outputDevices();
        outputPicker_->clear();
        for (const auto& device : shownOutputs_) {
            outputPicker_->addItem(qt(device.name), qt(device.id));
        }
    }
    selectTag(outputPicker_, model_.selectedOutputUID());

    const std::string inUse = model_.micInUseText();
    micInUse_->setText(qt(inUse));
    micInUse_->setVisible(!inUse.empty());

    using Note = PanelModel::DeviceWarnings::Note;
    const auto warnings = model_.currentDeviceWarnings();
    speakerWarning_->setVisible(warnings.builtInSpeaker);
    bluetoothNote_->setVisible(warnings.note == Note::bluetoothRedirect);
    lowQualityWarning_->setVisible(warnings.note == Note::lowQualityMic);
    if (warnings.note == Note::lowQualityMic) {
        lowQualityText_->setText(qt(texts::lowQualityMic(model_.recording().currentDeviceInfo().value().inputSampleRate)));
    }
}

void RecordingInterface::refreshControls() {
    recordButton_->setText(qt(model_.recordButtonTitle()));
    const std::string status = model_.transcriptionStatusText();
    statusText_->setText(qt(status));
    statusRow_->setVisible(!status.empty());
    const std::string failure = model_.recordingFailureText();
    recordingFailure_->setText(qt(failure));
    recordingFailure_->setVisible(!failure.empty());
    const auto& error = model_.recording().transcriptionError().value();
    transcriptionError_->setText(qt(error.value_or("")));
    transcriptionError_->setVisible(error.has_value());
}

void RecordingInterface::refreshMeter() {
    const bool recording = model_.recording().phase().value().isRecording();
    elapsed_->setVisible(recording);
    meterRow_->setVisible(recording);
    systemAudioNote_->setVisible(recording);
    if (recording) {
        elapsed_->setText(qt(model_.elapsedText()));
        meter_->setFraction(PanelModel::meterFraction(model_.recording().micLevel().value()));
    }
}

void RecordingInterface::refreshTranscript() {
    const std::string& text = model_.recording().transcriptText().value();
    if (text == shownTranscript_) {
        return;
    }
    // The live preview grows at its end: append the new part and keep where the reader is.
    if (!shownTranscript_.empty() && text.starts_with(shownTranscript_)) {
        QTextCursor cursor(transcript_->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(qt(text.substr(shownTranscript_.size())));
    } else {
        transcript_->setPlainText(qt(text));
    }
    shownTranscript_ = text;
    copyButton_->setEnabled(!text.empty());
}

} // namespace velmora::app
