#pragma once
// The one loaded transcriber the application shares, so that a model is downloaded, specialised and
// loaded once and then reused by every recording. It keeps at most one, for one model name; a request
// for another name releases it and loads the new one.
//
// Loads are single-flight per name: a request that arrives while the same name is loading waits for
// that load and shares its transcriber or its error (and, with a callback, hears its later progress).
// Each load runs on a thread of its own, so a waiting caller whose stop token fires leaves at once;
// the load itself stops when no caller is left waiting for it. Every member may be called from any
// thread; callbacks run without the store's lock held.

#include "VelmoraCore/Transcription/EngineAccess.h"
#include "VelmoraCore/Transcription/Transcriber.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace velmora {

class TranscriberStore {
public:
    /// Builds a transcriber; the store's default builds `Transcriber` with the store's engine access.
    using Factory = std::function<std::shared_ptr<Transcriber>(
        const std::string& modelName, const Transcriber::ProgressCallback& onProgress, std::stop_token stop)>;

    explicit TranscriberStore(EngineAccess access = {});
    explicit TranscriberStore(Factory factory);
    /// Stops the loads still running and waits for their threads.
    ~TranscriberStore();
    TranscriberStore(const TranscriberStore&) = delete;
    TranscriberStore& operator=(const TranscriberStore&) = delete;

    /// The process-wide store, on the program's default engine.
    static TranscriberStore& shared();

    /// The kept transcriber when it was loaded for `modelName`, else a newly loaded one, which is kept.
    /// Throws the load's error (the store is then empty) or orvane::CancellationError when `stop` fires
    /// first.
    std::shared_ptr<Transcriber> transcriber(const std::string& modelName, std::stop_token stop = {});
    /// The same as transcriber().
    std::shared_ptr<Transcriber> preload(const std::string& modelName, std::stop_token stop = {});
    /// The same, with the load's progress reported to `onProgress` (from any thread). A kept transcriber
    /// is returned at once without a report.
    std::shared_ptr<Transcriber> prepareForOnboarding(const std::string& modelName,
                                                      Transcriber::ProgressCallback onProgress,
                                                      std::stop_token stop = {});

    /// True when a transcriber is kept and was loaded for exactly `modelName`. Does not wait for loads.
    bool isLoaded(const std::string& modelName) const;
    /// Forgets the kept transcriber; a caller holding it may go on using it.
    void evict();

private:
    struct Load;

    std::shared_ptr<Transcriber> obtain(const std::string& modelName,
                                        Transcriber::ProgressCallback onProgress, std::stop_token stop);
    void runLoad(const std::shared_ptr<Load>& load);
    void reapFinishedWorkers();

    const Factory factory_;
    mutable std::mutex mutex_;
    std::condition_variable_any loadFinished_;
    std::optional<std::string> loadedName_;
    std::shared_ptr<Transcriber> loaded_;
    std::map<std::string, std::shared_ptr<Load>> loading_;
    struct Worker {
        std::shared_ptr<Load> load;
        std::jthread thread;
    };
    std::list<Worker> workers_;
};

} // namespace velmora
