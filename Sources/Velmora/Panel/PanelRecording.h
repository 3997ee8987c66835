#pragma once
// What the panel shows of the recording session and asks of it. The core's session is handed in
// through this interface (RecordingSessionPanelSource), so the panel is shown and tested in every
// state without recorders. Main thread only.

#include "VelmoraCore/AudioCapture/Devices/DeviceInfo.h"
#include "VelmoraCore/Observable.h"
#include "VelmoraCore/Recording/RecordingPhase.h"

#include <optional>
#include <string>

namespace velmora::app {

class PanelRecording {
public:
    virtual ~PanelRecording() = default;

    virtual const Observable<RecordingPhase>& phase() const = 0;
    virtual const Observable<double>& elapsedSeconds() const = 0;
    virtual const Observable<float>& micLevel() const = 0;
    virtual const Observable<std::string>& transcriptText() const = 0;
    virtual const Observable<std::string>& transcriptProgress() const = 0;
    virtual const Observable<int>& pendingTranscriptions() const = 0;
    virtual const Observable<std::optional<std::string>>& transcriptionError() const = 0;
    virtual const Observable<DeviceInfo>& currentDeviceInfo() const = 0;

    virtual void refreshDeviceInfo() = 0;
    virtual void cancelTranscription() = 0;
    /// The record button: stop a running recording, else reset and start.
    virtual void toggleRecording() = 0;
};

} // namespace velmora::app
