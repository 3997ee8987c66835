#pragma once
// The core's recording session as the panel's PanelRecording; the record button applies the same
// toggle as the hot key, through the shell's RecordingControl. Main thread only.

#include "Velmora/Panel/PanelRecording.h"
#include "Velmora/Recording/RecordingControl.h"
#include "VelmoraCore/Recording/RecordingSession.h"

namespace velmora::app {

class SessionPanelRecording final : public PanelRecording {
public:
    /// Both must outlive this object.
    SessionPanelRecording(RecordingSession& session, RecordingControl& control)
        : session_(session), control_(control) {}

    const Observable<RecordingPhase>& phase() const override { return session_.phase(); }
    const Observable<double>& elapsedSeconds() const override { return session_.elapsedSeconds(); }
    const Observable<float>& micLevel() const override { return session_.micLevel(); }
    const Observable<std::string>& transcriptText() const override { return session_.transcriptText(); }
    const Observable<std::string>& transcriptProgress() const override { return session_.transcriptProgress(); }
    const Observable<int>& pendingTranscriptions() const override { return session_.pendingTranscriptions(); }
    const Observable<std::optional<std::string>>& transcriptionError() const override {
        return session_.transcriptionError();
    }
    const Observable<DeviceInfo>& currentDeviceInfo() const override { return session_.currentDeviceInfo(); }

    void refreshDeviceInfo() override { session_.refreshDeviceInfo(); }
    void cancelTranscription() override { session_.cancelTranscription(); }
    void toggleRecording() override;

private:
    RecordingSession& session_;
    RecordingControl& control_;
};

} // namespace velmora::app
