#pragma once
// The record tab once every gate is met: the two device pickers, the device warnings, the recording
// controls with time and meter, and the transcript with its copy and open-folder buttons. Each part is
// redrawn only when the model says it changed.

#include "Velmora/Panel/PanelModel.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora::app {

class LevelMeter;

class RecordingInterface final : public QWidget {
public:
    RecordingInterface(PanelModel& model, QWidget* parent = nullptr);

    /// Redraws the parts named (PanelModel::Part bits).
    void refresh(unsigned parts);

    LevelMeter* meter() const { return meter_; }

private:
    void refreshDevices();
    void refreshControls();
    void refreshMeter();
    void refreshTranscript();

    PanelModel& model_;
    QComboBox* micPicker_;
    QComboBox* outputPicker_;
    QLabel* micInUse_;
    QWidget* speakerWarning_;
    QWidget* bluetoothNote_;
    QWidget* lowQualityWarning_;
    QLabel* lowQualityText_;
    QPushButton* recordButton_;
    QLabel* elapsed_;
    QWidget* statusRow_;
    QLabel* statusText_;
    QWidget* meterRow_;
    LevelMeter* meter_;
    QLabel* systemAudioNote_;
    QLabel* recordingFailure_;
    QLabel* transcriptionError_;
    QPlainTextEdit* transcript_;
    QPushButton* copyButton_;

    std::vector<AudioDeviceOption> shownInputs_;
    std::vector<AudioDeviceOption> shownOutputs_;
    std::string shownTranscript_;
};

} // namespace velmora::app
