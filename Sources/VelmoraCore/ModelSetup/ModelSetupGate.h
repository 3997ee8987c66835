#pragma once
// The first-run preparation of the selected speech model, run once in front of the user and remembered
// across launches for the model it succeeded for. The panel shows its phase and offers the record
// controls only once it is ready.
//
// Main thread only. The load itself runs through the transcriber store on a thread of the gate's;
// progress and the outcome come back as posted main-thread tasks, which are dropped once the gate is
// gone. Destroying the gate stops its waits for the store (a load another caller still waits for goes on).

#include "VelmoraCore/MainThreadDispatcher.h"
#include "VelmoraCore/ModelSetup/ModelSetupPhase.h"
#include "VelmoraCore/Observable.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Settings/DefaultsStore.h"
#include "VelmoraCore/Transcription/TranscriberStore.h"

#include <list>
#include <memory>
#include <thread>

namespace velmora {

class ModelSetupGate {
public:
    using Phase = ModelSetupPhase;

    /// The model name the set-up last finished for; written on success only, never removed.
    static constexpr const char* completedModelNameKey = "modelSetupCompletedModelName";

    /// `ready` at once when the stored name equals the selected model exactly, else `notStarted`.
    /// `settings`, `mainThread` and `store` must outlive the gate.
    ModelSetupGate(const AppSettings& settings, std::shared_ptr<DefaultsStore> defaults,
                   MainThreadDispatcher& mainThread, TranscriberStore& store = TranscriberStore::shared());
    ~ModelSetupGate();
    ModelSetupGate(const ModelSetupGate&) = delete;
    ModelSetupGate& operator=(const ModelSetupGate&) = delete;

    const Observable<Phase>& phase() const { return phase_; }
    bool isReady() const { return phase_.value() == Phase::ready(); }

    /// When the phase is `notStarted`, posts a run; the phase changes only when the run begins, so two
    /// calls in one turn of the main thread start two runs. Otherwise nothing. Returns at once.
    void startIfNeeded();
    /// Back to `notStarted`, then startIfNeeded(); a run still in progress goes on beside the new one.
    void retry();

private:
    void run();

    const AppSettings& settings_;
    std::shared_ptr<DefaultsStore> defaults_;
    MainThreadDispatcher& mainThread_;
    TranscriberStore& store_;
    Observable<Phase> phase_;
    // Posted tasks look at this before touching the gate, which may be gone by then.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::list<std::jthread> runs_;
};

} // namespace velmora
