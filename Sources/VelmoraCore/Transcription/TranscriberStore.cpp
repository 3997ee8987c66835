#include "VelmoraCore/Transcription/TranscriberStore.h"

#include "OrvaneCore/Errors/CancellationError.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace velmora {

struct TranscriberStore::Load {
    explicit Load(std::string name) : modelName(std::move(name)) {}

    const std::string modelName;
    std::stop_source stop;
    // Guarded by the store's mutex.
    int waiting = 0;
    std::map<std::uint64_t, Transcriber::ProgressCallback> listeners;
    std::uint64_t nextListener = 0;
    bool finished = false;
    std::shared_ptr<Transcriber> transcriber;
    std::exception_ptr error;
};

TranscriberStore::TranscriberStore(EngineAccess access)
    : TranscriberStore(Factory([access = std::move(access)](const std::string& modelName,
                                                            const Transcriber::ProgressCallback& onProgress,
                                                            std::stop_token stop) {
          return std::make_shared<Transcriber>(modelName, onProgress, access, stop);
      })) {}

TranscriberStore::TranscriberStore(Factory factory) : factory_(std::move(factory)) {}

TranscriberStore::~TranscriberStore() {
    std::list<Worker> workers;
    {
        std::lock_guard lock(mutex_);
        for (auto& [name, load] : loading_) {
            load->stop.request_stop();
        }
        workers = std::move(workers_);
    }
    workers.clear(); // joins; each thread takes the lock once more as it finishes
}

TranscriberStore& TranscriberStore::shared() {
    static TranscriberStore store;
    return store;
}

std::shared_ptr<Transcriber> TranscriberStore::transcriber(const std::string& modelName,
                                                           std::stop_token stop) {
    return obtain(modelName, {}, stop);
}

std::shared_ptr<Transcriber> TranscriberStore::preload(const std::string& modelName, std::stop_token stop) {
    return obtain(modelName, {}, stop);
}

std::shared_ptr<Transcriber> TranscriberStore::prepareForOnboarding(const std::string& modelName,
                                                                    Transcriber::ProgressCallback onProgress,
                                                                    std::stop_token stop) {
    return obtain(modelName, std::move(onProgress), stop);
}

bool TranscriberStore::isLoaded(const std::string& modelName) const {
    std::lock_guard lock(mutex_);
    return loaded_ != nullptr && loadedName_ == modelName;
}

void TranscriberStore::evict() {
    std::shared_ptr<Transcriber> released;
    std::lock_guard lock(mutex_);
    released = std::move(loaded_);
    loaded_ = nullptr;
    loadedName_.reset();
}

std::shared_ptr<Transcriber> TranscriberStore::obtain(const std::string& modelName,
                                                      Transcriber::ProgressCallback onProgress,
                                                      std::stop_token stop) {
    std::shared_ptr<Transcriber> released; // let go of outside the lock
    std::unique_lock lock(mutex_);
    if (loaded_ != nullptr && loadedName_ == modelName) {
        return loaded_;
    }
    released = std::move(loaded_);
    loaded_ = nullptr;
    loadedName_.reset();

    std::shared_ptr<Load> load;
    if (auto running = loading_.find(modelName); running != loading_.end()) {
        load = running->second;
    } else {
        reapFinishedWorkers();
        load = std::make_shared<Load>(modelName);
        loading_.emplace(modelName, load);
        workers_.push_back({load, std::jthread([this, load] { runLoad(load); })});
    }
    ++load->waiting;
    std::optional<std::uint64_t> listener;
    if (onProgress) {
        listener = load->nextListener++;
        load->listeners.emplace(*listener, std::move(onProgress));
    }

    const bool finished = loadFinished_.wait(lock, stop, [&load] { return load->finished; });
    --load->waiting;
    if (listener) {
        load->listeners.erase(*listener);
    }
    if (!finished) {
        // The last caller to give up stops the load; a later request starts afresh instead of joining
        // a load that is being stopped.
        if (load->waiting == 0) {
            load->stop.request_stop();
            if (auto running = loading_.find(modelName);
                running != loading_.end() && running->second == load) {
                loading_.erase(running);
            }
        }
        throw orvane::CancellationError();
    }
    if (load->error) {
        std::rethrow_exception(load->error);
    }
    return load->transcriber;
}

void TranscriberStore::runLoad(const std::shared_ptr<Load>& load) {
    const auto report = [this, load](const TranscriberPreparationProgress& progress) {
        std::vector<Transcriber::ProgressCallback> listeners;
        {
            std::lock_guard lock(mutex_);
            for (const auto& [id, listener] : load->listeners) {
                listeners.push_back(listener);
            }
        }
        for (const auto& listener : listeners) {
            listener(progress);
        }
    };
    std::shared_ptr<Transcriber> transcriber;
    std::exception_ptr error;
    try {
        transcriber = factory_(load->modelName, report, load->stop.get_token());
    } catch (...) {
        error = std::current_exception();
    }

    std::shared_ptr<Transcriber> released;
    {
        std::lock_guard lock(mutex_);
        load->finished = true;
        load->transcriber = transcriber;
        load->error = error;
        if (auto running = loading_.find(load->modelName);
            running != loading_.end() && running->second == load) {
            loading_.erase(running);
        }
        // Whichever load finishes last is the one kept.
        if (transcriber != nullptr) {
            released = std::move(loaded_);
            loaded_ = transcriber;
            loadedName_ = load->modelName;
        }
    }
    loadFinished_.notify_all();
}

void TranscriberStore::reapFinishedWorkers() {
    // A finished load's thread only has its return left, so joining it here is short.
    workers_.remove_if([](const Worker& worker) { return worker.load->finished; });
}

} // namespace velmora
