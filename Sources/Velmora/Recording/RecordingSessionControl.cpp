#include "Velmora/Recording/RecordingSessionControl.h"

namespace velmora::app {

RecordingSessionControl::RecordingSessionControl(std::unique_ptr<RecordingSession> session)
    : session_(std::move(session)) {}

RecordingControl::Phase RecordingSessionControl::phase() const {
    switch (session_->phase().value().kind) {
    case RecordingPhase::Case::recording:
        return Phase::recording;
    case RecordingPhase::Case::failed:
        return Phase::failed;
    case RecordingPhase::Case::idle:
        break;
    }
    return Phase::idle;
}

double RecordingSessionControl::elapsedSeconds() const {
    return session_->elapsedSeconds().value();
}

int RecordingSessionControl::pendingTranscriptions() const {
    return session_->pendingTranscriptions().value();
}

std::unique_ptr<RecordingControl::Observation> RecordingSessionControl::observe(std::function<void()> changed) const {
    const RecordingSession& session = *session_;
    const auto phase = session.phase().subscribe([changed](const auto&) { changed(); });
    const auto elapsed = session.elapsedSeconds().subscribe([changed](const auto&) { changed(); });
    const auto pending = session.pendingTranscriptions().subscribe([changed](const auto&) { changed(); });
    return std::make_unique<Observation>([&session, phase, elapsed, pending] {
        session.phase().unsubscribe(phase);
        session.elapsedSeconds().unsubscribe(elapsed);
        session.pendingTranscriptions().unsubscribe(pending);
    });
}

void RecordingSessionControl::reset() {
    session_->reset();
}

void RecordingSessionControl::start() {
    session_->start();
}

void RecordingSessionControl::stop() {
    session_->stop();
}

} // namespace velmora::app
