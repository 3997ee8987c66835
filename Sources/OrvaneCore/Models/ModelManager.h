#pragma once
// Drives one set of models through download, prewarm, load and unload, keeps the set's state and
// reports every change of it. What the models are is the loader's business; the manager decides, from
// its state, which loader operation may run and what the state becomes afterwards.
//
// Thread rule: direct calls of the operations are not serialised against each other (an overlapping
// call sees the other's intermediate state); only ensureModelsLoaded() is single-flight. The state
// callback is called on the thread that changes the state, never under a lock.

#include "OrvaneCore/Models/ModelLoader.h"
#include "OrvaneCore/Models/ModelState.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace orvane {

class ModelDownloader;

class ModelManager {
public:
    using StateCallback = std::function<void(ModelState oldState, ModelState newState)>;
    using ProgressCallback = ModelLoader::ProgressCallback;

    /// Both must be given: the loader does the work, the downloader is handed to it when fetching.
    ModelManager(std::shared_ptr<ModelLoader> loader, std::shared_ptr<ModelDownloader> downloader);
    virtual ~ModelManager();
    ModelManager(const ModelManager&) = delete;
    ModelManager& operator=(const ModelManager&) = delete;

    ModelState modelState() const;
    StateCallback modelStateCallback() const;
    /// An empty function removes the callback.
    void setModelStateCallback(StateCallback callback);
    /// The folder a successful download step settled on.
    std::optional<std::filesystem::path> modelPath() const;
    const std::shared_ptr<ModelDownloader>& downloader() const { return downloader_; }
    const std::shared_ptr<ModelLoader>& loader() const { return loader_; }

    /// The loader's folder as an absolute path, when it has one.
    virtual std::optional<std::filesystem::path> modelFolder() const;
    /// Loading, loaded or downloaded (not prewarmed: nothing is held then).
    virtual bool isAvailable() const;
    virtual bool isLoaded() const;

    /// Returns at once when loaded; otherwise downloads (if needed) and loads. Concurrent callers share
    /// one run and its outcome, and a caller that stops waiting does not stop the run.
    virtual void ensureModelsLoaded();
    /// Only from `unloaded`: resolves the models' folder through the loader.
    virtual void downloadModels(const ProgressCallback& progressCallback = {});
    /// Downloads first when unloaded; prewarms from `downloaded`.
    virtual void prewarmModels();
    /// Downloads first when unloaded; loads from `downloaded` or `prewarmed`.
    virtual void loadModels();
    /// From `loaded` or `prewarmed`: releases the models. Does nothing in any other state.
    virtual void unloadModels();

protected:
    /// The unqualified name of the instance's dynamic type; the prefix of every log line.
    virtual std::string loggerName() const;

private:
    class LoadModelsCoordinator;

    /// Writes the state and, when it changed, tells the callback (outside the lock).
    void setModelState(ModelState state);
    void setModelPath(std::filesystem::path path);
    /// modelPath, else the loader's folder; throws when neither is there.
    std::string settledFolder() const;
    /// Loads (or prewarms) from `folder` through the busy state; back to unloaded when the loader fails.
    void loadThroughLoader(const std::string& folder, bool prewarm);

    mutable std::mutex mutex_;
    ModelState modelState_ = ModelState::unloaded;
    std::shared_ptr<const StateCallback> modelStateCallback_;
    std::optional<std::filesystem::path> modelPath_;
    const std::shared_ptr<ModelDownloader> downloader_;
    const std::shared_ptr<ModelLoader> loader_;
    mutable std::once_flag loggerNameOnce_;
    mutable std::string loggerName_;
    const std::shared_ptr<LoadModelsCoordinator> coordinator_;
};

} // namespace orvane
