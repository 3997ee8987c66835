#include "Velmora/Recording/RecordToggle.h"

namespace velmora::app {

void applyRecordToggle(RecordingControl& session) {
    if (session.phase() == RecordingControl::Phase::recording) {
        session.stop();
        return;
    }
    session.reset();
    session.start();
}

std::function<void()> makeRecordToggleTrigger(std::weak_ptr<RecordingControl> session,
                                              MainThreadDispatcher& mainThread) {
    return [session = std::move(session), &mainThread] {
        if (session.expired()) {
            return;
        }
        // Each press reads the phase when its task runs, so two quick presses toggle twice.
        mainThread.post([session] {
            if (auto live = session.lock()) {
                applyRecordToggle(*live);
            }
        });
    };
}

} // namespace velmora::app
