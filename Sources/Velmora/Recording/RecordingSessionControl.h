#pragma once
// The application core's recording session as the shell's RecordingControl: its phase, elapsed time
// and pending jobs for the tray label, its reset, start and stop for the record toggle. The session
// itself stays reachable for the panel. Main thread only.

#include "Velmora/Recording/RecordingControl.h"
#include "VelmoraCore/Recording/RecordingSession.h"

#include <memory>

namespace velmora::app {

class RecordingSessionControl final : public RecordingControl {
public:
    explicit RecordingSessionControl(std::unique_ptr<RecordingSession> session);

    RecordingSession& session() const { return *session_; }

    Phase phase() const override;
    double elapsedSeconds() const override;
    int pendingTranscriptions() const override;
    std::unique_ptr<Observation> observe(std::function<void()> changed) const override;

    void reset() override;
    void start() override;
    void stop() override;

private:
    std::unique_ptr<RecordingSession> session_;
};

} // namespace velmora::app
