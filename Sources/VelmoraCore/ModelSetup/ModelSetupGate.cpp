#include "VelmoraCore/ModelSetup/ModelSetupGate.h"

#include "VelmoraCore/ErrorText.h"

#include <exception>
#include <string>

namespace velmora {

ModelSetupGate::ModelSetupGate(const AppSettings& settings, std::shared_ptr<DefaultsStore> defaults,
                               MainThreadDispatcher& mainThread, TranscriberStore& store)
    : settings_(settings), defaults_(std::move(defaults)), mainThread_(mainThread), store_(store) {
    if (defaults_->string(completedModelNameKey) == settings_.modelName().value()) {
        phase_.set(Phase::ready());
    }
}

ModelSetupGate::~ModelSetupGate() {
    alive_.reset();
    runs_.clear(); // each run's wait is stopped, then joined
}

void ModelSetupGate::startIfNeeded() {
    if (phase_.value() != Phase::notStarted()) {
        return;
    }
    mainThread_.post([alive = std::weak_ptr<bool>(alive_), this] {
        if (alive.lock()) {
            run();
        }
    });
}

void ModelSetupGate::retry() {
    phase_.set(Phase::notStarted());
    startIfNeeded();
}

void ModelSetupGate::run() {
    phase_.set(Phase::downloading(0));
    const std::string modelName = settings_.modelName().value();
    const std::weak_ptr<bool> alive = alive_;
    runs_.emplace_back([this, alive, modelName](std::stop_token stop) {
        const auto onProgress = [this, alive](const TranscriberPreparationProgress& progress) {
            mainThread_.post([this, alive, progress] {
                if (alive.lock()) {
                    phase_.set(progress.kind == TranscriberPreparationProgress::Kind::downloading
                                   ? Phase::downloading(progress.fraction)
                                   : Phase::optimizing());
                }
            });
        };
        std::exception_ptr error;
        try {
            // The store keeps the transcriber for the recordings; the gate needs only the outcome.
            store_.prepareForOnboarding(modelName, onProgress, stop);
        } catch (...) {
            error = std::current_exception();
        }
        mainThread_.post([this, alive, modelName, error] {
            if (!alive.lock()) {
                return;
            }
            if (error) {
                phase_.set(Phase::failed(errorTextualForm(error)));
            } else {
                defaults_->setString(completedModelNameKey, modelName);
                phase_.set(Phase::ready());
            }
        });
    });
}

} // namespace velmora
